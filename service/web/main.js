// The page: sign in with a token, then the fleet live from the event stream, its power actions,
// and one projector's page at #projector/NAME.

import { ApiError, EventStream, api, forgetToken, setToken, token } from "./connection.js";
import { FleetTable } from "./fleet_table.js";
import { ProjectorPage } from "./projector_page.js";

const $ = (id) => document.getElementById(id);

let role = null;
let who = "";

function say(text, offline = false) {
    $("connection").textContent = text;
    $("connection").classList.toggle("offline", offline);
}

function canAct() {
    if (role === "operator") return { ok: true };
    return { ok: false, reason: `Your token (${who}) is a viewer's: it shows the projectors but cannot switch them. Actions need an operator's token.` };
}

// Asks first, naming every projector; true when the user said yes.
function confirm(title, names, yes) {
    const dialog = $("confirm");
    $("confirm-title").textContent = title;
    $("confirm-names").replaceChildren(...names.map((name) => {
        const item = document.createElement("li");
        item.textContent = name;
        return item;
    }));
    $("confirm-yes").textContent = yes;
    return new Promise((resolve) => {
        const done = (answer) => {
            $("confirm-yes").onclick = $("confirm-no").onclick = dialog.oncancel = null;
            dialog.close();
            resolve(answer);
        };
        $("confirm-yes").onclick = () => done(true);
        $("confirm-no").onclick = () => done(false);
        dialog.oncancel = (event) => {
            event.preventDefault();
            done(false);
        };
        dialog.showModal();
    });
}

const table = new FleetTable($("fleet-head"), $("fleet-body"), { onSelect: () => {} });
const page = new ProjectorPage({ confirm, canAct });

function route() {
    const match = location.hash.match(/^#projector\/(.*)$/);
    const name = match ? decodeURIComponent(match[1]) : null;
    $("fleet").hidden = name !== null;
    $("projector").hidden = name === null;
    if (name !== null) page.show(name, table.row(name));
}

const stream = new EventStream({
    onOpen: () => {
        table.clear();  // the stream starts with every projector again
        say("Connected: live");
    },
    onEvent: (name, data) => {
        if (name === "removed") {
            const gone = JSON.parse(data).name;
            table.remove(gone);
            if (page.name === gone && !$("projector").hidden) page.update(null);
            return;
        }
        if (name !== "projector") return;
        const row = JSON.parse(data);
        table.update(row);
        if (page.name === row.name && !$("projector").hidden) page.update(row);
    },
    onDown: (wait) => say(`No connection to the service. Trying again in ${Math.round(wait / 1000)} s…`, true),
    onRefused: (status, error) => signOut(status === 429 ? `Refused: ${error}` : `Your token was refused: ${error || "it is not known"}. Sign in again.`),
});

async function power(on) {
    const names = table.chosen();
    const what = on ? "Power ON" : "Power OFF";
    if (!names.length) {
        $("action-message").textContent = `${what}: select one or more projectors first.`;
        return;
    }
    if (!on && !(await confirm(`Power OFF ${names.length === 1 ? "this projector" : `these ${names.length} projectors`}?`, names, "Power OFF")))
        return;
    $("action-message").textContent = `${what}: sending…`;
    try {
        const { json } = await api("POST", "/api/v1/power", { on, projectors: names });
        let refused = 0;
        for (const result of json.results || []) {
            if (result.status !== 200) refused += 1;
            // A sent command shows in the row's own note; a refusal is told here, with its reason.
            table.setResult(result.projector, result.status === 200 ? "" : `${what}: ${result.error || "refused"}`);
        }
        $("action-message").textContent = `${what}: ${names.length - refused} sent, ${refused} refused.`;
    } catch (error) {
        $("action-message").textContent = `${what} was not sent: ${error.message}`;
    }
}

function enableActions() {
    const allowed = canAct();
    $("power-on").disabled = $("power-off").disabled = !allowed.ok;
    $("actions-reason").hidden = allowed.ok;
    $("actions-reason").textContent = allowed.reason || "";
    page.enable();
}

function signOut(message = "") {
    stream.stop();
    forgetToken();
    role = null;
    table.clear();
    $("fleet").hidden = $("projector").hidden = true;
    $("sign-out").hidden = true;
    $("sign-in").hidden = false;
    $("sign-in-message").textContent = message;
    say("Not signed in");
    $("token").focus();
}

async function signIn() {
    say("Signing in…");
    try {
        const { json: facts } = await api("GET", "/api/v1/page");
        const { json: catalogue } = await api("GET", "/api/v1/commands");
        role = facts.role;
        who = facts.token;
        table.setColumns(facts.columns, facts.lamp_hours_threshold);
        page.setCommands(catalogue.commands);
    } catch (error) {
        if (error instanceof ApiError && (error.status === 401 || error.status === 429)) {
            signOut(error.status === 401 ? `That token was refused: ${error.message}. Check it and try again.` : `Refused: ${error.message}`);
        } else {
            say(`No connection to the service: ${error.message}. Reload the page to try again.`, true);
        }
        return;
    }
    $("sign-in").hidden = true;
    $("sign-out").hidden = false;
    $("sign-in-message").textContent = "";
    enableActions();
    route();
    stream.start();
}

$("sign-in-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const value = $("token").value.trim();
    $("token").value = "";
    if (!value) return;
    setToken(value);
    signIn();
});
$("sign-out").addEventListener("click", () => signOut());
$("power-on").addEventListener("click", () => power(true));
$("power-off").addEventListener("click", () => power(false));
$("back").addEventListener("click", (event) => {
    event.preventDefault();
    location.hash = "";
});
window.addEventListener("hashchange", route);

if (token()) signIn();
else signOut();
