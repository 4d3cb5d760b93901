// The fleet as a table, in the fleet window's columns, words and marks: a row a projector, kept
// in place as events change it (so focus and selection stay), sorted by the chosen column.
// Every name and answer goes in as text, never as HTML.

const pad = (n) => String(n).padStart(2, "0");

function clock(iso) {
    if (!iso) return "never";
    const t = new Date(iso);
    return `${pad(t.getHours())}:${pad(t.getMinutes())}:${pad(t.getSeconds())}`;
}

export class FleetTable {
    constructor(head, body, { onSelect }) {
        Object.assign(this, { head, body, onSelect });
        this.columns = [];
        this.threshold = 0;
        this.rows = new Map();  // name -> { data, tr, checkbox }
        this.selected = new Set();
        this.results = new Map();  // name -> what the last action did to it
        this.sortKey = "name";
        this.ascending = true;
    }

    setColumns(columns, threshold) {
        this.columns = columns;
        this.threshold = threshold;
        const headers = columns.map((column) => {
            const th = document.createElement("th");
            th.scope = "col";
            th.dataset.key = column.key;
            const button = document.createElement("button");
            button.type = "button";
            button.textContent = column.title;
            button.addEventListener("click", () => this.sortBy(column.key));
            th.append(button);
            return th;
        });
        this.head.replaceChildren(...headers);
        this.clear();
        this.markSort();
    }

    clear() {
        this.rows.clear();
        this.body.replaceChildren();
    }

    names() {
        return [...this.rows.keys()];
    }

    row(name) {
        const entry = this.rows.get(name);
        return entry ? entry.data : null;
    }

    chosen() {
        return this.names().filter((name) => this.selected.has(name));
    }

    setResult(name, text) {
        if (text) this.results.set(name, text);
        else this.results.delete(name);
        const entry = this.rows.get(name);
        if (entry) this.fill(entry);
    }

    update(data) {
        let entry = this.rows.get(data.name);
        if (!entry) {
            entry = this.newRow(data.name);
            this.rows.set(data.name, entry);
        }
        entry.data = data;
        this.fill(entry);
        this.order();
    }

    // Taken out of the service's projectors file.
    remove(name) {
        const entry = this.rows.get(name);
        if (!entry) return;
        entry.tr.remove();
        this.rows.delete(name);
        this.results.delete(name);
        if (this.selected.delete(name)) this.onSelect();
    }

    // The name's cell holds the row's selection too, so the columns stay the window's.
    newRow(name) {
        const tr = document.createElement("tr");
        const checkbox = document.createElement("input");
        checkbox.type = "checkbox";
        checkbox.setAttribute("aria-label", `Select ${name}`);
        checkbox.checked = this.selected.has(name);
        checkbox.addEventListener("change", () => {
            if (checkbox.checked) this.selected.add(name);
            else this.selected.delete(name);
            this.onSelect();
        });
        const link = document.createElement("a");
        link.href = `#projector/${encodeURIComponent(name)}`;
        link.textContent = name;
        tr.append(...this.columns.map(() => document.createElement("td")));
        const nameCell = tr.cells[this.columns.findIndex((column) => column.key === "name")];
        if (nameCell) nameCell.append(checkbox, link);
        tr.dataset.name = name;
        return { tr, checkbox, data: null };
    }

    fill(entry) {
        const d = entry.data;
        this.columns.forEach((column, i) => {
            const td = entry.tr.cells[i];
            td.className = column.key.replace("_", "-");
            td.removeAttribute("title");
            const value = d[column.key];
            switch (column.key) {
            case "name":
                break;
            case "state_text":
                // The first line, as the window shows it; the whole in the tooltip.
                td.textContent = (value || "").split("\n")[0];
                td.title = value || "";
                td.classList.add(`state-${d.state}`);
                break;
            case "lamp_hours":
                if (value !== null && value !== undefined && value > this.threshold) {
                    td.textContent = `${value} (over ${this.threshold})`;
                    td.classList.add("lamp-over");
                } else {
                    td.textContent = value === null || value === undefined ? "" : String(value);
                }
                break;
            case "last_answered":
                td.textContent = clock(value);
                break;
            case "note": {
                td.textContent = value || "";
                const result = this.results.get(d.name);
                // The fleet's own note may tell the same already: the action is named only then.
                if (result && value && result.endsWith(`: ${value}`)) {
                    td.textContent = result;
                } else if (result) {
                    const span = document.createElement("span");
                    span.className = "result";
                    span.textContent = result;
                    td.append(span);
                }
                break;
            }
            default:
                td.textContent = value === null || value === undefined ? "" : String(value);
            }
        });
    }

    sortValue(data, key) {
        if (key === "lamp_hours") return data.lamp_hours ?? -1;
        if (key === "last_answered") return data.last_answered ? Date.parse(data.last_answered) : 0;
        return String(data[key] ?? "");
    }

    compare(a, b) {
        const x = this.sortValue(a, this.sortKey);
        const y = this.sortValue(b, this.sortKey);
        const order = typeof x === "number" ? x - y : x.localeCompare(y);
        return (this.ascending ? order : -order) || a.name.localeCompare(b.name);
    }

    sortBy(key) {
        this.ascending = this.sortKey === key ? !this.ascending : true;
        this.sortKey = key;
        this.markSort();
        this.order();
    }

    markSort() {
        for (const th of this.head.querySelectorAll("th[data-key]")) {
            if (th.dataset.key === this.sortKey)
                th.setAttribute("aria-sort", this.ascending ? "ascending" : "descending");
            else th.removeAttribute("aria-sort");
        }
    }

    // Rows are moved only when their order changed, and focus is given back to where it was.
    order() {
        const sorted = [...this.rows.values()].sort((a, b) => this.compare(a.data, b.data));
        const same = sorted.every((entry, i) => this.body.rows[i] === entry.tr);
        if (same && this.body.rows.length === sorted.length) return;
        const focused = this.body.contains(document.activeElement) ? document.activeElement : null;
        this.body.append(...sorted.map((entry) => entry.tr));
        if (focused) focused.focus();
    }
}
