# Sourced by scripts/run and scripts/measure: ser2net in front of a serial device, on free
# loopback ports only, with a configuration written here.
#   start_ser2net DIR NAME DEVICE   sets rfc2217_url and socket_url, appends to ser2net_pids

ser2net_pids=()

# A loopback port nothing uses now (read from the kernel's table, not by connecting), below the
# kernel's ephemeral range: a port chosen there can be taken by any program's outgoing connection
# before ser2net binds it, and ser2net then leaves that one accepter out without a word.
free_loopback_port() {
    local port hex low='' span
    read -r low _ </proc/sys/net/ipv4/ip_local_port_range 2>/dev/null || true
    [[ $low =~ ^[0-9]+$ ]] || low=32768
    span=$((low - 20000))
    ((span >= 1000)) || span=40000
    while :; do
        port=$((20000 + RANDOM % span))
        hex=$(printf '%04X' "$port")
        grep -q ":$hex " /proc/net/tcp /proc/net/tcp6 2>/dev/null || { echo "$port"; return; }
    done
}

loopback_listening() {
    grep -q "0100007F:$(printf '%04X' "$1") 00000000:0000 0A" /proc/net/tcp
}

start_ser2net() {
    local dir=$1 name=$2 device=$3 telnet_port raw_port
    telnet_port=$(free_loopback_port)
    raw_port=$(free_loopback_port)
    # The device is opened while a client is connected, at 19200n81 until told otherwise.
    cat >"$dir/$name-ser2net.yaml" <<YAML
connection: &${name}rfc2217
    accepter: telnet(rfc2217),tcp,127.0.0.1,$telnet_port
    connector: serialdev,$device,19200n81,local
    options:
        mdns: false
connection: &${name}raw
    accepter: tcp,127.0.0.1,$raw_port
    connector: serialdev,$device,19200n81,local
    options:
        mdns: false
YAML
    ser2net -n -c "$dir/$name-ser2net.yaml" -P "$dir/$name-ser2net.pid" 2>"$dir/$name-ser2net.log" &
    ser2net_pids+=("$!")
    for _ in $(seq 100); do
        loopback_listening "$telnet_port" && loopback_listening "$raw_port" && break
        sleep 0.05
    done
    if ! loopback_listening "$telnet_port"; then
        echo "ser2net did not start: $(cat "$dir/$name-ser2net.log")" >&2
        return 1
    fi
    rfc2217_url=rfc2217://127.0.0.1:$telnet_port
    socket_url=socket://127.0.0.1:$raw_port
}

stop_ser2net() {
    local pid
    for pid in "${ser2net_pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${ser2net_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    ser2net_pids=()
}
