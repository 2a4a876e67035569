"""scripts/tournament end to end: two seeded 5 s battles, two at once, then its results checked;
misbehaving clients; a tournament stopped and resumed.

    python3 tournament_test.py TOURNAMENT BOTARENA BOTPILOT OUTPUT_DIRECTORY

Each battle's figures must be the client robot's figures in that battle's own summary (not a
built-in robot's, not another seed's), the totals must add up over the battles, and the page
must hold its three charts and load nothing from anywhere.
"""

import fcntl
import json
import math
import os
import shutil
import subprocess
import sys

tournament, botarena, botpilot, out = sys.argv[1:5]
failures = []


def Check(condition, what):
    if not condition:
        failures.append(what)


shutil.rmtree(out, ignore_errors=True)
run = subprocess.run(
    [
        sys.executable,
        tournament,
        "--seeds",
        "2",
        "--duration",
        "5",
        "--jobs",
        "2",
        "--arena",
        botarena,
        "--client",
        botpilot,
        "--out",
        out,
    ],
    stdin=subprocess.DEVNULL,
    capture_output=True,
    text=True,
    timeout=100,
)
print(run.stdout, run.stderr, sep="\n")
if run.returncode != 0:
    sys.exit(f"scripts/tournament exited {run.returncode}")

with open(os.path.join(out, "results.json")) as file:
    results = json.load(file)
Check(results["options"]["seeds"] == [1, 2], f"seeds {results['options']['seeds']}")
Check(len(results["clients"]) == 1 and "comparison" not in results, "one client, no comparison")
client = results["clients"][0]
battles = client["battles"]
Check(sorted(b["seed"] for b in battles) == [1, 2], "one battle per seed")

for battle in battles:
    seed = battle["seed"]
    Check(battle["ok"], f"seed {seed} failed: {battle.get('failure')}")
    if not battle["ok"]:
        continue
    with open(os.path.join(out, battle["files"]["summary"])) as file:
        summary = json.load(file)
    Check(summary["seed"] == seed, f"seed {seed}: its summary is of seed {summary['seed']}")
    robot = next(r for r in summary["robots"] if r["id"] == battle["robotId"])
    Check(not robot["builtIn"], f"seed {seed}: the figures are of built-in robot {robot['id']}")
    # Figure in the results, figure in the summary's robot.
    for figure in ["timeAlive", "shots", "hits", "damageDealt", "damageTaken", "distance"]:
        Check(
            battle[figure] == robot[figure],
            f"seed {seed}: {figure} {battle[figure]} but the summary says {robot[figure]}",
        )
    Check(battle["reason"] == summary["reason"], f"seed {seed}: reason {battle['reason']}")
    Check(
        battle["accuracy"] == (robot["hits"] / robot["shots"] if robot["shots"] else None),
        f"seed {seed}: accuracy {battle['accuracy']}",
    )
    Check(1 <= battle["placement"] <= len(summary["robots"]), f"seed {seed}: placement")
    Check(battle["won"] == (battle["placement"] == 1) or "winner" in summary, f"seed {seed}: won")
    Check(battle["duration"] <= 5.0 + 1e-9, f"seed {seed}: a battle of {battle['duration']} s")
    for name in ["arenaOutput", "arenaLog", "clientLog"]:
        Check(os.path.getsize(os.path.join(out, battle["files"][name])) > 0, f"seed {seed}: {name}")

totals = client["totals"]
ok = [b for b in battles if b["ok"]]
shots = sum(b["shots"] for b in ok)
expected = [
    ("battles", 2),
    ("failed", 0),
    ("wins", sum(b["won"] for b in ok)),
    ("meanPlacement", sum(b["placement"] for b in ok) / 2),
    ("accuracy", sum(b["hits"] for b in ok) / shots if shots else None),
    ("meanDamageDealt", sum(b["damageDealt"] for b in ok) / 2),
    ("survivalRate", sum(b["survived"] for b in ok) / 2),
]
for name, value in expected:
    same = totals[name] == value or (
        value is not None and totals[name] is not None and math.isclose(totals[name], value)
    )
    Check(same, f"totals: {name} is {totals[name]}, not {value}")
Check(sum(totals["placements"].values()) == 2, f"placements {totals['placements']}")
Check("win rate" in run.stdout and "mean placement" in run.stdout, "the table on standard output")

with open(os.path.join(out, "results.html"), encoding="utf-8") as file:
    page = file.read()
for chart in ["chart-score", "chart-accuracy", "chart-placements"]:
    Check(f'id="{chart}"' in page, f"the page has no {chart}")
Check('class="mark"' in page, "the page's charts have no marks")
for foreign in ["http://", "https://", "src=", "@import", "url("]:
    Check(foreign not in page, f"the page refers elsewhere: {foreign}")

# Regression: an output folder that was a file ended in a Python traceback.
with open(os.path.join(out, "a-file"), "w") as file:
    file.write("not a folder")
refused = subprocess.run(
    [
        sys.executable,
        tournament,
        "--seeds",
        "1",
        "--arena",
        botarena,
        "--client",
        botpilot,
        "--out",
        os.path.join(out, "a-file"),
    ],
    stdin=subprocess.DEVNULL,
    capture_output=True,
    text=True,
    timeout=30,
)
Check(
    refused.returncode == 2
    and "Traceback" not in refused.stderr
    and "cannot use " in refused.stderr
    and "as the output folder: Not a directory" in refused.stderr,
    f"an output folder that is a file: {refused.returncode} {refused.stderr!r}",
)

# Clients that misbehave: each battle fails, yet the tournament ends cleanly, keeps the disk
# and leaves nothing running.
helper_pid_file = os.path.join(out, "helper.pid")
with open(os.path.join(out, "stubborn-client"), "w") as file:
    file.write(
        "#!/bin/sh\ntrap '' TERM\nsleep 1000 &\necho $! > "
        + helper_pid_file
        + "\nwhile :; do sleep 1; done\n"
    )
os.chmod(os.path.join(out, "stubborn-client"), 0o755)


def HelperGone():
    with open(helper_pid_file) as file:
        pid = int(file.read())
    try:
        with open(f"/proc/{pid}/stat") as file:
            if file.read().rsplit(")", 1)[1].split()[0] == "Z":
                return True  # dead, waiting to be reaped by whoever adopted it
    except FileNotFoundError:
        return True
    os.kill(pid, 9)
    return False


def ClientLogKept(folder):
    logs = [
        os.path.join(folder, "battles", f)
        for f in os.listdir(os.path.join(folder, "battles"))
        if f.endswith(".client.log")
    ]
    with open(logs[0], "rb") as file:
        file.seek(-200, os.SEEK_END)
        end = file.read()
    return os.path.getsize(logs[0]) <= 16 * 1024 * 1024 + 200 and b"more bytes left out" in end


misbehaving = [  # what the client is, its command, what must hold afterwards
    ("floods its output", "yes", ClientLogKept),
    (
        "ignores SIGTERM and leaves a helper running",
        os.path.join(out, "stubborn-client"),
        lambda folder: HelperGone(),
    ),
]
for what, command, holds in misbehaving:
    folder = os.path.join(out, "misbehaving")
    shutil.rmtree(folder, ignore_errors=True)
    ended = subprocess.run(
        [
            sys.executable,
            tournament,
            "--seeds",
            "1",
            "--duration",
            "2",
            "--arena",
            botarena,
            "--client",
            command,
            "--out",
            folder,
        ],
        stdin=subprocess.DEVNULL,
        capture_output=True,
        text=True,
        timeout=60,
    )
    Check(
        ended.returncode == 1 and "Traceback" not in ended.stderr and holds(folder),
        f"a client that {what}: {ended.returncode} {ended.stderr[-300:]!r}",
    )

# A second tournament writing into the same folder is refused while the first holds it.
with open(os.path.join(out, ".tournament.lock"), "a+") as held:
    fcntl.flock(held, fcntl.LOCK_EX)
    held.truncate(0)
    held.write("12345\n")
    held.flush()
    shared = subprocess.run(
        [
            sys.executable,
            tournament,
            "--seeds",
            "1",
            "--arena",
            botarena,
            "--client",
            botpilot,
            "--out",
            out,
        ],
        stdin=subprocess.DEVNULL,
        capture_output=True,
        text=True,
        timeout=30,
    )
Check(
    shared.returncode == 2
    and "another tournament (process 12345) is writing into it" in shared.stderr,
    f"a shared output folder: {shared.returncode} {shared.stderr!r}",
)

# A tournament stopped after its first battle (SIGTERM, as a job runner stops one) and resumed
# ends with every seed once, leaving nothing running in between; resuming with other settings
# is refused.
stopped = os.path.join(out, "stopped")
tournament_args = [sys.executable, tournament, "--seeds", "3", "--duration", "3", "--jobs", "1"]
first = subprocess.Popen(
    tournament_args + ["--arena", botarena, "--client", botpilot, "--out", stopped],
    stdin=subprocess.DEVNULL,
    stdout=subprocess.PIPE,
    stderr=subprocess.PIPE,
    text=True,
)
for line in first.stdout:
    if " seed 1: " in line:
        first.terminate()
        break
first.communicate(timeout=30)
Check(first.returncode == 130, f"a stopped tournament ended {first.returncode}")


def StillRunning(folder):
    """Processes whose command line names the folder: an arena writes its summary there."""
    running = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as file:
                if folder.encode() in file.read():
                    running.append(pid)
        except OSError:
            pass
    return running


Check(not StillRunning(stopped), f"left running after the stop: {StillRunning(stopped)}")
refused = subprocess.run(
    tournament_args[:2]
    + ["--resume", stopped, "--seeds", "4", "--duration", "3", "--jobs", "1"]
    + ["--arena", botarena, "--client", botpilot],
    capture_output=True,
    text=True,
    timeout=30,
)
Check(
    refused.returncode == 2 and "seeds: [1, 2, 3] then, [1, 2, 3, 4] now" in refused.stderr,
    f"a resume with other settings: {refused.returncode} {refused.stderr!r}",
)
resumed = subprocess.run(
    [sys.executable, tournament, "--resume", stopped],
    stdin=subprocess.DEVNULL,
    capture_output=True,
    text=True,
    timeout=60,
)
Check(
    resumed.returncode == 0 and "(1 kept from before)" in resumed.stdout,
    f"the resumed tournament: {resumed.returncode} {resumed.stdout[:300]!r}",
)
with open(os.path.join(stopped, "results.json")) as file:
    seeds = [b["seed"] for b in json.load(file)["clients"][0]["battles"]]
Check(seeds == [1, 2, 3], f"the resumed tournament's seeds: {seeds}")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
