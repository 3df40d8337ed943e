#!/usr/bin/python3
"""The progress line of -S and -D: on a terminal's standard error one line
counting the answered lookups, erased at the end, and the report unchanged;
with standard error not a terminal, nothing on it at all. The lookups go to
the stand-in resolver, slow enough for the line to be seen.

usage: progress_line_test.py BINARY STANDIN_RESOLVER
"""
import os
import re
import subprocess
import sys
import tempfile

CONF = """<SECTION VS>
VID: 1
VIP: 192.0.2.2
PORT: 80
PROTO: tcp
<IPVSADM>
-a -t 192.0.2.2:80 -r 192.0.2.4:80 -m -I 1 -d 10-0-0-40.moved.example
-a -t 192.0.2.2:80 -r 192.0.2.5:80 -m -I 2 -d 10-0-0-50.hang.example
-a -t 192.0.2.2:80 -r 192.0.2.6:80 -m -I 3
<END>
<END VS>
"""

# (arguments, standard output, lookups asked)
RUNS = [
    (["-S"], "192.0.2.2 (h-192-0-2-2.bench.example)\n192.0.2.4 (h-192-0-2-4.bench.example)\n"
             "192.0.2.5\n192.0.2.6 (h-192-0-2-6.bench.example)\n", 4),
    (["-D", "--resolve-timeout", "0.5"],
     "vip 1\nserver #1\naddr 10.0.0.40\nexit\nexit\n", 2),
]


def run(binary, env, args, on_terminal):
    """Standard output and standard error of one run."""
    if on_terminal:
        master, slave = os.openpty()
        proc = subprocess.Popen([binary] + args, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=slave, env=env)
        os.close(slave)
        out = proc.stdout.read()
        proc.wait(timeout=60)
        err = b""
        while True:
            try:
                chunk = os.read(master, 4096)
            except OSError:  # the terminal's other side is closed
                break
            if not chunk:
                break
            err += chunk
        os.close(master)
    else:
        proc = subprocess.run([binary] + args, stdin=subprocess.DEVNULL,
                              capture_output=True, env=env, timeout=60)
        out, err = proc.stdout, proc.stderr
    return proc.returncode, out.decode(), err


def main(binary, standin):
    failures, runs = [], 0
    with tempfile.TemporaryDirectory() as work:
        conf = os.path.join(work, "bahd.conf")
        with open(conf, "w") as f:
            f.write(CONF)
        env = dict(os.environ, LC_ALL="C", LD_PRELOAD=standin,
                   ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0",
                   BENCH_RESOLVER_DELAY_MS="300", BENCH_RESOLVER_NEVER="hang")
        for args, want_out, asked in RUNS:
            line = re.compile(rb"(\rlbsnap: [0-%d] of %d name lookups answered)+\r\x1b\[K" % (asked, asked))
            for on_terminal in (True, False):
                runs += 1
                rc, out, err = run(binary, env, ["-f", conf] + args, on_terminal)
                where = f"{' '.join(args)} ({'terminal' if on_terminal else 'no terminal'})"
                if rc != 0 or out != want_out:
                    failures.append(f"{where}: status {rc}, output {out!r}")
                elif on_terminal and not line.fullmatch(err):
                    failures.append(f"{where}: standard error {err!r}")
                elif not on_terminal and err:
                    failures.append(f"{where}: standard error {err!r}, expected nothing")
    for f in failures:
        print("FAIL", f)
    print(f"progress line: {runs - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
