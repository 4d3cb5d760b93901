// The service reached with the user's token: every request carries it in its Authorization
// header, and the event stream is read with fetch() rather than EventSource (which sends no such
// header), so the token never goes into a URL, a log or a cookie. It lives in this tab only.

const KEY = "projector-panel-token";
// The service writes a comment line every 15 s: a stream silent for longer is dead.
const SILENCE_MS = 40000;

export const token = () => sessionStorage.getItem(KEY);
export const setToken = (value) => sessionStorage.setItem(KEY, value);
export const forgetToken = () => sessionStorage.removeItem(KEY);

export class ApiError extends Error {
    constructor(status, message) {
        super(message);
        this.status = status;
    }
}

function request(method, body, signal) {
    const init = { method, cache: "no-store", credentials: "omit", signal,
                   headers: { Authorization: `Bearer ${token()}` } };
    if (body !== undefined) {
        init.headers["Content-Type"] = "application/json";
        init.body = JSON.stringify(body);
    }
    return init;
}

// The answer's JSON; an answer that holds per-projector results is returned whatever its status,
// since those tell their own errors. Anything else that is no success throws an ApiError.
export async function api(method, path, body) {
    let response;
    try {
        response = await fetch(path, request(method, body));
    } catch {
        throw new ApiError(0, "no connection to the service");
    }
    let json = null;
    try {
        json = await response.json();
    } catch {
        json = null;
    }
    if (response.ok || (json && (json.answers || json.results))) return { status: response.status, json };
    throw new ApiError(response.status, (json && json.error) || `the service answered ${response.status}`);
}

// The network lines' back-off, written into the page by the service.
function reconnectSteps() {
    const steps = (document.documentElement.dataset.reconnectMs || "")
        .split(" ").map(Number).filter((n) => n > 0);
    return steps.length ? steps : [1000];
}

// Server-Sent Events read from a fetch() body: each event's name and its data lines joined.
export async function readEvents(body, onEvent, onBytes) {
    const reader = body.getReader();
    const decoder = new TextDecoder();
    let buffer = "";
    let name = "message";
    let data = [];
    for (;;) {
        const { value, done } = await reader.read();
        if (done) return;
        onBytes();
        buffer += decoder.decode(value, { stream: true });
        let end;
        while ((end = buffer.search(/\r\n|\r|\n/)) >= 0) {
            if (end === buffer.length - 1 && buffer[end] === "\r") break;  // maybe half a CRLF
            const line = buffer.slice(0, end);
            buffer = buffer.slice(end + (buffer.startsWith("\r\n", end) ? 2 : 1));
            if (line === "") {
                if (data.length) onEvent(name, data.join("\n"));
                name = "message";
                data = [];
                continue;
            }
            const colon = line.indexOf(":");
            if (colon === 0) continue;
            const field = colon < 0 ? line : line.slice(0, colon);
            const text = colon < 0 ? "" : line.slice(colon + 1).replace(/^ /, "");
            if (field === "event") name = text;
            else if (field === "data") data.push(text);
        }
    }
}

// The live stream of the fleet, opened again after a loss on the back-off, until stopped.
export class EventStream {
    constructor({ onOpen, onEvent, onDown, onRefused }) {
        Object.assign(this, { onOpen, onEvent, onDown, onRefused });
        this.stopped = true;
        this.generation = 0;
    }

    start() {
        if (!this.stopped) return;
        this.stopped = false;
        this.run();
    }

    stop() {
        this.stopped = true;
        this.generation += 1;  // a loop of an earlier start ends
        if (this.abort) this.abort.abort();
        clearTimeout(this.wait);
    }

    async run() {
        const steps = reconnectSteps();
        const generation = this.generation;
        const current = () => !this.stopped && generation === this.generation;
        let attempt = 0;
        while (current()) {
            const abort = new AbortController();
            this.abort = abort;
            let watchdog = 0;
            const heard = () => {
                clearTimeout(watchdog);
                watchdog = setTimeout(() => abort.abort(), SILENCE_MS);
            };
            try {
                const response = await fetch("/api/v1/events", request("GET", undefined, abort.signal));
                if (!current()) return;
                if (response.status === 401 || response.status === 403 || response.status === 429) {
                    const json = await response.json().catch(() => ({}));
                    this.stopped = true;
                    this.onRefused(response.status, json.error || "");
                    return;
                }
                if (response.ok) {
                    attempt = 0;
                    heard();
                    this.onOpen();
                    await readEvents(response.body, this.onEvent, heard);
                }
            } catch {
                // Lost, refused or silent: told below, and tried again.
            }
            clearTimeout(watchdog);
            if (!current()) return;
            const wait = steps[Math.min(attempt, steps.length - 1)];
            attempt += 1;
            this.onDown(wait);
            await new Promise((resolve) => { this.wait = setTimeout(resolve, wait); });
        }
    }
}
