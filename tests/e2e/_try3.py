import os, subprocess, time, sys
import harness
from window_session import xdotool
b = harness.Win32Build(harness.win32_binary())
prefix = harness.wine_prefix(b.binary)
d = harness.DataDir()
d.write("main.ini", "; mine\n[SYSTEM]\nLog=0\nFSAAmode=0\nFont=Georgia\n[LOCALIZATION]\nLocaleName=English\n")
prefix.set_program_values(d.path, d.path)
lang = sys.argv[1] if len(sys.argv) > 1 else "C.UTF-8"
p = subprocess.Popen(prefix.wine(b.binary, "/c"), env=prefix.env({"LANG": lang}), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=d.path, start_new_session=True)
env = dict(os.environ, DISPLAY=harness.display())
t0 = time.time()
wid = None
while time.time() - t0 < 20 and not wid:
    r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Lumiscript"], env=env, stdout=subprocess.PIPE)
    wid = r.stdout.split()
    time.sleep(0.3)
print("found", wid, time.time()-t0)
time.sleep(1)
host = os.path.join(os.path.dirname(b.binary), "saver_host.exe")
r = harness.run_process(prefix.wine(host, "texts", "Lumiscript"), prefix.env({"LANG": lang}), timeout=60)
print(r.stdout)
subprocess.run(["import","-display",harness.display(),"-window","root","/tmp/i19_dlg.png"])
wid = wid[0].decode()
print(subprocess.run(["xdotool", "windowfocus", "--sync", wid], env=env).returncode)
for k in ["Down", "Tab", "Tab", "Down", "Down", "Return"]:
    subprocess.run(["xdotool", "key", k], env=env); time.sleep(0.3)
try:
    print("rc", p.wait(10))
except Exception as e:
    print("still", e); os.killpg(p.pid, 9)
print(open(d.file("main.ini"),"rb").read())
