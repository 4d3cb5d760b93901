// One projector's page: the window's everyday buttons from the service's catalogue, a typed
// command, and the last answer's traces as the window shows them (sent, received, decoded).

import { api } from "./connection.js";

const $ = (id) => document.getElementById(id);

export class ProjectorPage {
    constructor({ confirm, canAct }) {
        Object.assign(this, { confirm, canAct });
        this.name = null;
        this.buttons = [];
        $("typed-form").addEventListener("submit", (event) => {
            event.preventDefault();
            const code = $("typed").value.trim();
            if (code) this.send({ caption: code, code });
        });
    }

    // The buttons, grouped under the window's titles, in its order.
    setCommands(commands) {
        const groups = new Map();
        for (const command of commands) {
            if (!groups.has(command.section)) groups.set(command.section, []);
            groups.get(command.section).push(command);
        }
        this.buttons = [];
        const blocks = [...groups].map(([section, rows], index) => {
            const block = document.createElement("div");
            block.className = "group";
            block.setAttribute("role", "group");
            const title = document.createElement("h3");
            title.id = `group-${index}`;
            title.textContent = section;
            block.setAttribute("aria-labelledby", title.id);
            const row = document.createElement("div");
            row.className = "actions";
            for (const command of rows) {
                const button = document.createElement("button");
                button.type = "button";
                button.textContent = command.caption;
                // "ON" alone says little to a screen reader: the group's title goes with it.
                button.setAttribute("aria-label", `${section} ${command.caption}`);
                button.dataset.code = command.code;
                button.addEventListener("click", () => this.send(command));
                row.append(button);
                this.buttons.push(button);
            }
            block.append(title, row);
            return block;
        });
        $("command-groups").replaceChildren(...blocks);
        this.enable();
    }

    enable() {
        const allowed = this.canAct();
        for (const button of [...this.buttons, $("typed-send")]) button.disabled = !allowed.ok;
        $("typed").disabled = !allowed.ok;
        $("projector-reason").hidden = allowed.ok;
        $("projector-reason").textContent = allowed.reason || "";
    }

    show(name, data) {
        if (this.name !== name) {
            for (const id of ["trace-sent", "trace-received", "trace-decoded", "command-message"])
                $(id).textContent = "";
        }
        this.name = name;
        $("projector-title").textContent = name;
        this.update(data);
        this.enable();
    }

    update(data) {
        $("projector-state").textContent = data
            ? `State: ${(data.state_text || "").split("\n")[0]}${data.input ? ` · Input: ${data.input}` : ""}`
            : "No projector of that name.";
    }

    async send(command) {
        const name = this.name;
        if (command.confirm &&
            !(await this.confirm(`${command.section} ${command.caption} on this projector?`, [name],
                                  `${command.section} ${command.caption}`)))
            return;
        $("command-message").textContent = `Sending ${command.code}…`;
        try {
            const { json } = await api("POST", `/api/v1/projectors/${encodeURIComponent(name)}/send`,
                                       { codes: [command.code] });
            const answer = (json.answers || [])[0] || {};
            $("trace-sent").textContent = answer.sent || "";
            $("trace-received").textContent = answer.received || "";
            $("trace-decoded").textContent = answer.decoded || "";
            $("command-message").textContent = json.error
                ? `${command.code}: ${json.error}`
                : `${command.code}: answered${answer.first_byte_ms != null ? ` in ${answer.first_byte_ms} ms` : ""}`;
        } catch (error) {
            $("command-message").textContent = `${command.code} was not sent: ${error.message}`;
        }
    }
}
