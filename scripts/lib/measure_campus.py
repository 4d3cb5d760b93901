#!/usr/bin/env python3
"""The campus of scripts/measure --campus: BUILDINGS projector-paneld services, each with
PROJECTORS simulators behind its own ser2net and its own mosquitto, every building's broker
bridged to one campus broker, and a subscriber there. Prints a table of figures; nothing here
passes or fails. Everything listens on 127.0.0.1 at free ports and is stopped at the end.
  measure_campus.py BUILD_DIR [--buildings N] [--projectors N] [--poll SECONDS] [--commands N]
"""
import argparse
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time


def tcp_listening():
    """The loopback ports in the kernel's table that listen, read without connecting (a
    connection to ser2net would open its device)."""
    ports = set()
    with open("/proc/net/tcp") as f:
        for line in list(f)[1:]:
            local, state = line.split()[1], line.split()[3]
            if state == "0A":
                ports.add(int(local.split(":")[1], 16))
    return ports


TAKEN = set()


def free_port():
    """A loopback port below the kernel's range for outgoing connections, so that none of those
    takes it between its choice and its server's start."""
    with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
        low = int(f.read().split()[0])
    while True:
        port = random.randrange(20000, max(low, 21000))
        if port not in TAKEN and port not in tcp_listening():
            TAKEN.add(port)
            return port


def wait_listening(port, patience=10.0):
    end = time.monotonic() + patience
    while time.monotonic() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def percentile(values, p):
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def memory_kib(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


class Campus:
    def __init__(self, build, work, buildings, projectors, poll):
        self.build, self.work = build, work
        self.buildings, self.projectors, self.poll = buildings, projectors, poll
        self.processes = []
        self.campus_port = free_port()
        self.local_ports = [free_port() for _ in range(buildings)]
        self.daemons, self.local_brokers = [], []
        self.campus_broker = None

    def spawn(self, args, **kw):
        p = subprocess.Popen(args, stdin=subprocess.DEVNULL, **kw)
        self.processes.append(p)
        return p

    def broker(self, name, lines):
        conf = os.path.join(self.work, f"{name}.conf")
        with open(conf, "w") as f:
            f.write("\n".join(lines) + "\n")
        log = open(os.path.join(self.work, f"{name}.log"), "w")
        return self.spawn(["mosquitto", "-c", conf], stdout=log, stderr=subprocess.STDOUT)

    def start_campus_broker(self):
        self.campus_broker = self.broker("campus", [
            f"listener {self.campus_port} 127.0.0.1", "allow_anonymous true",
            "persistence false"])
        return wait_listening(self.campus_port)

    def site(self, b):
        return f"b{b:02d}"

    def sim_link(self, b, i):
        return os.path.join(self.work, self.site(b), f"p{i:02d}")

    def frames(self, b, i):
        return os.path.join(self.work, self.site(b), f"frames{i:02d}.log")

    def start(self):
        sim = os.path.join(self.build, "tools/projector-sim/projector-sim")
        paneld = os.path.join(self.build, "service/projector-paneld")
        if not self.start_campus_broker():
            sys.exit("campus broker does not listen")
        for b in range(self.buildings):
            site = self.site(b)
            folder = os.path.join(self.work, site)
            os.makedirs(folder)
            for i in range(self.projectors):
                self.spawn([sim, "--link", self.sim_link(b, i), "--log", self.frames(b, i),
                            "--warmup", "0", "--cooldown", "0"], stdout=subprocess.DEVNULL)
            for i in range(self.projectors):
                end = time.monotonic() + 10
                while not os.path.exists(self.sim_link(b, i)) and time.monotonic() < end:
                    time.sleep(0.02)
            ports, yaml = [], []
            for i in range(self.projectors):
                port = free_port()
                ports.append(port)
                yaml += [f"connection: &c{i}",
                         f"    accepter: telnet(rfc2217),tcp,127.0.0.1,{port}",
                         f"    connector: serialdev,{self.sim_link(b, i)},19200n81,local",
                         "    options:", "        mdns: false"]
            with open(os.path.join(folder, "ser2net.yaml"), "w") as f:
                f.write("\n".join(yaml) + "\n")
            self.spawn(["ser2net", "-n", "-c", os.path.join(folder, "ser2net.yaml")],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.local_brokers.append(self.broker(f"{site}-broker", [
                f"listener {self.local_ports[b]} 127.0.0.1", "allow_anonymous true",
                "persistence false",
                "connection campus", f"address 127.0.0.1:{self.campus_port}",
                f"remote_clientid bridge-{site}", "try_private true", "cleansession true",
                "restart_timeout 1 5",
                f"topic projector-panel/{site}/# both 1",
                "topic homeassistant/device/# out 1", "topic homeassistant/status in 1"]))
            wait_listening(self.local_ports[b])
            with open(os.path.join(folder, "projectors.ini"), "w") as f:
                for i in range(self.projectors):
                    # RFC 2217: a raw socket:// open waits out ser2net's refusal window (200 ms).
                    f.write(f"[P{i:02d}]\nport = rfc2217://127.0.0.1:{ports[i]}\n")
            with open(os.path.join(folder, "service.ini"), "w") as f:
                f.write(f"listen = 127.0.0.1:0\ntoken_file = tokens\npoll_seconds = {self.poll}\n"
                        f"[mqtt]\nhost = 127.0.0.1\nport = {self.local_ports[b]}\nsite = {site}\n")
            tokens = os.path.join(folder, "tokens")
            open(tokens, "w").close()
            os.chmod(tokens, 0o600)
            end = time.monotonic() + 10
            while not set(ports) <= tcp_listening() and time.monotonic() < end:
                time.sleep(0.05)
            self.daemons.append(self.spawn(
                [paneld, "--config", os.path.join(folder, "service.ini"),
                 "--projectors", os.path.join(folder, "projectors.ini")],
                stdout=subprocess.DEVNULL, stderr=open(os.path.join(folder, "paneld.log"), "w")))

    def stop(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.terminate()
        for p in self.processes:
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()


class Subscriber:
    """mosquitto_sub on a broker, every message with the time it arrived (the wall clock)."""

    def __init__(self, port, pattern="#", retained_only=False):
        args = ["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-t", pattern, "-v",
                "-F", "%U %t %p"]
        if retained_only:
            args += ["--retained-only", "-W", "3"]
        # -W says "Timed out" when it ends the retained-only read, as it is meant to.
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True,
                                        stderr=subprocess.DEVNULL if retained_only else None)
        self.last, self.seen = {}, []
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()

    def read(self):
        for line in self.process.stdout:
            parts = line.rstrip("\n").split(" ", 1)
            if len(parts) < 2:
                continue
            at = float(parts[0])
            # The campus's projector names hold no space, so the topic ends at the first.
            topic, _, payload = parts[1].partition(" ")
            with self.lock:
                self.last[topic] = payload
                self.seen.append((at, topic, payload))

    def stop(self):
        self.process.terminate()
        self.process.wait()
        self.thread.join(timeout=2)


def last_frame_time(path, frame):
    """The wall-clock time of the last `frame` in a simulator's log (monotonic microseconds)."""
    found = None
    with open(path) as f:
        for line in f:
            at, _, rest = line.rstrip("\n").partition(" ")
            if rest.split(" ")[-1] == frame:
                found = int(at)
    if found is None:
        return None
    return found / 1e6 + (time.time() - time.monotonic())


def poll_frames_between(path, start, end):
    """Whether the simulator saw a poll's query between two wall-clock times."""
    offset = time.time() - time.monotonic()
    with open(path) as f:
        for line in f:
            at, _, rest = line.rstrip("\n").partition(" ")
            if rest.split(" ")[-1] in ("CR0", "CR1", "CR3") and start <= int(at) / 1e6 + offset <= end:
                return True
    return False


def retained_state(port, pattern):
    sub = Subscriber(port, pattern, retained_only=True)
    sub.process.wait()
    sub.thread.join(timeout=5)
    return {t: p for _, t, p in sub.seen}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--buildings", type=int, default=10)
    parser.add_argument("--projectors", type=int, default=20)
    parser.add_argument("--poll", type=int, default=5)
    parser.add_argument("--commands", type=int, default=100)
    a = parser.parse_args()
    work = tempfile.mkdtemp(prefix="panel-campus.")
    campus = Campus(a.build, work, a.buildings, a.projectors, a.poll)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        campus.start()
        sub = Subscriber(campus.campus_port, "projector-panel/#")
        total = a.buildings * a.projectors
        end = time.monotonic() + 60
        def states():
            with sub.lock:
                return {t: p for t, p in sub.last.items() if t.endswith("/state")}
        while time.monotonic() < end and sum(p == "standby" for p in states().values()) < total:
            time.sleep(0.5)
        print(f"campus: {a.buildings} buildings x {a.projectors} projectors, poll {a.poll} s;"
              f" {sum(p == 'standby' for p in states().values())}/{total} standby at the campus"
              f" subscriber after start")

        brokers = [campus.campus_broker] + campus.local_brokers
        cpu0 = {p.pid: cpu_seconds(p.pid) for p in brokers + campus.daemons}
        wall0 = time.monotonic()
        to_wire, to_campus, lost = [], [], 0
        to_free_wire = []  # of the commands that met no poll on their line
        pending = []
        targets = random.Random(1).sample(
            [(b, i) for b in range(a.buildings) for i in range(a.projectors)],
            min(a.commands, total))
        for b, i in targets:
            site = campus.site(b)
            topic = f"projector-panel/{site}/projectors/P{i:02d}"
            sent = time.time()
            subprocess.run(["mosquitto_pub", "-h", "127.0.0.1", "-p", str(campus.campus_port),
                            "-q", "1", "-t", topic + "/power/set", "-m", "ON"], check=True)
            pending.append((b, i, topic + "/state", sent))
            time.sleep(0.3)
        time.sleep(a.poll + 3)
        for b, i, topic, sent in pending:
            wire = last_frame_time(campus.frames(b, i), "C00")
            with sub.lock:
                arrived = [at for at, t, p in sub.seen if t == topic and p == "on" and at > sent]
            if wire is None or not arrived:
                lost += 1
                continue
            to_wire.append((wire - sent) * 1000)
            if not poll_frames_between(campus.frames(b, i), sent - 2.0, wire):
                to_free_wire.append((wire - sent) * 1000)
            to_campus.append((arrived[0] - wire) * 1000)
        elapsed = time.monotonic() - wall0
        cpu = {pid: (cpu_seconds(pid) - before) / elapsed * 100 for pid, before in cpu0.items()}

        print(f"{'what':58} {'p50':>9} {'p99':>9} {'max':>9}  goal")
        print(f"{'command at the campus broker to the simulator wire (ms)':58} "
              f"{percentile(to_wire, 50):9.1f} {percentile(to_wire, 99):9.1f} "
              f"{max(to_wire, default=float('nan')):9.1f}  < 200 ms")
        print(f"{'  the same, of those that met no poll on their line':58} "
              f"{percentile(to_free_wire, 50):9.1f} {percentile(to_free_wire, 99):9.1f} "
              f"{max(to_free_wire, default=float('nan')):9.1f}  ({len(to_free_wire)} of them)")
        print(f"{'simulator change to the campus subscriber (ms)':58} "
              f"{percentile(to_campus, 50):9.1f} {percentile(to_campus, 99):9.1f} "
              f"{max(to_campus, default=float('nan')):9.1f}  < {a.poll * 1000 + 1000} ms"
              f" (one poll + 1 s)")
        print(f"commands: {len(targets)}, measured {len(to_wire)}, not seen {lost}")
        rss = [memory_kib(p.pid, "VmRSS") / 1024 for p in campus.daemons]
        hwm = [memory_kib(p.pid, "VmHWM") / 1024 for p in campus.daemons]
        print(f"service memory (MiB): resident {min(rss):.1f} to {max(rss):.1f}, peak"
              f" {max(hwm):.1f} (goal < 100 MiB each)")
        daemons_cpu = [cpu[p.pid] for p in campus.daemons]
        local_cpu = [cpu[p.pid] for p in campus.local_brokers]
        print(f"CPU over {elapsed:.0f} s (% of a core): campus broker {cpu[campus.campus_broker.pid]:.2f},"
              f" building brokers {min(local_cpu):.2f} to {max(local_cpu):.2f},"
              f" services {min(daemons_cpu):.2f} to {max(daemons_cpu):.2f}")

        # The bridge cut: the campus broker gone (and with it, having no persistence, everything
        # it kept), changes made in a building meanwhile, then the campus broker back.
        sub.stop()
        campus.campus_broker.kill()
        campus.campus_broker.wait()
        changed = [(0, i) for i in range(min(5, a.projectors))]
        for b, i in changed:
            subprocess.run(["mosquitto_pub", "-h", "127.0.0.1", "-p",
                            str(campus.local_ports[b]), "-q", "1", "-t",
                            f"projector-panel/{campus.site(b)}/projectors/P{i:02d}/power/set",
                            "-m", "OFF"], check=True)
        time.sleep(a.poll + 2)
        cut_at = time.monotonic()
        campus.start_campus_broker()
        time.sleep(8)  # the bridges' restart_timeout, then their retained state
        at_campus = retained_state(campus.campus_port, "projector-panel/#")
        missing = wrong = 0
        for b in range(a.buildings):
            local = retained_state(campus.local_ports[b], f"projector-panel/{campus.site(b)}/#")
            for topic, payload in local.items():
                if topic not in at_campus:
                    missing += 1
                # The time of the last answer moves at every poll, between the two snapshots.
                elif at_campus[topic] != payload and not topic.endswith(("/last_answered",
                                                                         "/json")):
                    wrong += 1
        offs = sum(at_campus.get(f"projector-panel/{campus.site(b)}/projectors/P{i:02d}/state")
                   == "standby" for b, i in changed)
        print(f"bridge cut and restored: campus broker restarted empty, {len(changed)} projectors"
              f" switched off during the cut; {len(at_campus)} retained topics at the campus"
              f" {time.monotonic() - cut_at:.0f} s later, {missing} missing and {wrong} differing"
              f" from the buildings' brokers; {offs}/{len(changed)} cut-time changes there")
    finally:
        campus.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
