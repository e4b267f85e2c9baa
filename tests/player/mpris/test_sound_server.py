#!/usr/bin/env python3
"""The real player on a real sound server: a PulseAudio server of the test's
own (null sinks, private runtime and home folders, started as the user who
runs the test), driven and watched by playerctl on a private session bus.

    on_private_bus.sh test_sound_server.py BIN_DIR

- The stream carries the program's name and the track's title.
- The server killed and started again mid-track: the stream comes back, MPRIS
  says Playing all along and the position goes on from where it was.
- The server restarted while stopped: PLAY plays on it.
- The default sink unloaded: the stream moves to the other one.

Exits 77 (skipped) when PulseAudio, pactl, playerctl or lame are missing or
the server cannot start here.
"""

import os
import re
import itertools
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

BIN = sys.argv[1] if len(sys.argv) > 1 else ""
# How long a wait may last before it counts as failed: far beyond any real
# wait, so that a busy machine makes the test slower, never red.
CEILING = 60


class Events:
    """Wakes a wait whenever a watched program prints a line or ends."""

    def __init__(self):
        self.cond = threading.Condition()
        self.count = 0

    def watch(self, stream, keep=lambda line: True):
        """keep(line) says whether a line is news; "" stands for the end."""
        def pump():
            with stream:
                for line in itertools.chain(stream, [""]):
                    if keep(line):
                        with self.cond:
                            self.count += 1
                            self.cond.notify_all()
        threading.Thread(target=pump, daemon=True).start()

    def wait_until(self, what, check):
        """Checks again on every event until check() gives something true; fails after CEILING."""
        until = time.monotonic() + CEILING
        while True:
            with self.cond:
                seen = self.count
            got = check()
            if got:
                return got
            with self.cond:
                if not self.cond.wait_for(lambda: self.count != seen, until - time.monotonic()):
                    raise AssertionError("never happened: " + what)


class SoundServer(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="velplay-pulse-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        run = os.path.join(self.tmp, "run")
        os.mkdir(run, 0o700)
        os.mkdir(os.path.join(self.tmp, "home"))
        conf = os.path.join(self.tmp, "client.conf")
        with open(conf, "w") as f:
            f.write("autospawn = no\n")  # no client may start a server of its own
        self.env = dict(os.environ, XDG_RUNTIME_DIR=run, HOME=os.path.join(self.tmp, "home"),
                        PULSE_CLIENTCONFIG=conf, PULSE_SERVER="unix:" + run + "/pulse/native",
                        QT_QPA_PLATFORM="offscreen", XDG_CACHE_HOME=os.path.join(self.tmp, "cache"))
        for name in ("SDL_AUDIODRIVER", "PULSE_SINK"):
            self.env.pop(name, None)
        self.server = None
        self.events = Events()
        self.addCleanup(self.stop_server)

    # ---- the server ----

    def start_server(self):
        """Starts the server; True once it says it is up, False when it ends first."""
        self.server = subprocess.Popen(
            ["pulseaudio", "-n", "-v", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "--log-target=stderr",
             "--load=module-native-protocol-unix auth-anonymous=1",
             "--load=module-null-sink sink_name=headphones",
             "--load=module-null-sink sink_name=speakers"],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        said = []

        def news(line):  # the test's own pactl connections are no news
            said.append(line)
            return "client.c:" not in line and "protocol-native.c:" not in line
        self.events.watch(self.server.stderr, news)
        up = self.events.wait_until("the server up or ended",
                                    lambda: [line for line in said if not line or "Daemon startup complete." in line])
        if "" in up:  # it ended
            return False
        self.follow(["pactl", "subscribe"], lambda line: "on client" not in line)
        return True

    def follow(self, args, keep=lambda line: True):
        """Runs a program whose every line may answer a wait, until the test ends."""
        p = subprocess.Popen(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(p.wait)
        self.addCleanup(p.terminate)
        self.events.watch(p.stdout, keep)

    def stop_server(self):
        if self.server and self.server.poll() is None:
            self.server.terminate()
            self.server.wait()

    def pactl(self, *args):
        return subprocess.run(["pactl", *args], env=self.env, capture_output=True, text=True).stdout

    def streams(self):
        """The player's streams: {sink-input index: its properties and state}."""
        found = {}
        for block in self.pactl("list", "sink-inputs").split("Sink Input #")[1:]:
            if 'application.process.binary = "velplay"' in block:
                found[block.split()[0]] = block
        return found

    def sink_index(self, name):
        for line in self.pactl("list", "short", "sinks").splitlines():
            fields = line.split("\t")
            if fields[1] == name:
                return fields[0]
        return None

    # ---- the player ----

    def ctl(self, *args):
        return subprocess.run(["playerctl", "-p", "velplay", *args], env=self.env,
                              capture_output=True, text=True).stdout.strip()

    def position(self):
        """Whole seconds, as the decoder reports them."""
        text = self.ctl("position")
        return round(float(text)) if re.fullmatch(r"[0-9.]+", text) else -1

    def playing_stream(self):
        """The player's one stream, when it is there and not corked."""
        s = self.streams()
        return len(s) == 1 and "Corked: no" in next(iter(s.values())) and s

    def test_stream_survives_a_server_restart_and_follows_the_default_sink(self):
        for tool in ("pulseaudio", "pactl", "playerctl", "lame"):
            if not shutil.which(tool):
                self.skipTest(tool + " is not installed")
        if not self.start_server():
            self.skipTest("PulseAudio does not start here")

        # An application folder without the fetcher (no cover lookup), a minute of silence.
        app = os.path.join(self.tmp, "app")
        os.mkdir(app)
        for f in ("velplay", "libvbmp3.so"):
            shutil.copy2(os.path.join(BIN, f), app)
        raw = os.path.join(self.tmp, "silence.raw")
        with open(raw, "wb") as f:
            f.write(bytes(22050 * 2 * 60))
        track = os.path.join(self.tmp, "track.mp3")
        subprocess.run(["lame", "--quiet", "-r", "-s", "22.05", "--bitwidth", "16", "--signed",
                        "--little-endian", "-m", "m", "--id3v1-only", "--tt", "Blue Sky",
                        raw, track], check=True)

        player = subprocess.Popen([os.path.join(app, "velplay"), track], env=self.env)
        self.addCleanup(player.wait)
        self.addCleanup(player.terminate)
        # Status changes, and the position once a second while playing.
        self.follow(["playerctl", "-p", "velplay", "--follow", "metadata", "--format", "{{status}} {{position}}"])

        first = self.events.wait_until("a playing stream", self.playing_stream)
        block = next(iter(first.values()))
        self.assertIn('application.name = "Velmora"', block)
        self.assertIn('media.name = "Blue Sky"', block)
        self.events.wait_until("MPRIS Playing at 2 s",
                               lambda: self.ctl("status") == "Playing" and self.position() >= 2)

        # Killed mid-track and started again.
        self.server.kill()
        self.server.wait()
        before = self.position()
        self.assertEqual(self.ctl("status"), "Playing")
        killed = time.monotonic()
        self.assertTrue(self.start_server())
        self.events.wait_until("the stream back after the restart", self.playing_stream)
        print("[ FIGURE   ] stream back %.1f s after the server was killed" % (time.monotonic() - killed))
        self.assertEqual(self.ctl("status"), "Playing")
        self.assertGreaterEqual(self.position(), before)  # went on, never from the start
        self.events.wait_until("the position moving on", lambda: self.position() >= before + 1)

        # Restarted while stopped: PLAY plays on the new server.
        self.ctl("stop")
        self.events.wait_until("Stopped", lambda: self.ctl("status") == "Stopped")
        self.server.terminate()
        self.server.wait()
        self.assertTrue(self.start_server())
        self.ctl("play")
        self.events.wait_until("a stream after PLAY", self.playing_stream)
        self.assertEqual(self.ctl("status"), "Playing")

        # The default sink goes: the server moves the stream to the other one.
        speakers = self.sink_index("speakers")
        owner = self.pactl("list", "short", "sinks").splitlines()[0]
        self.assertIn("headphones", owner)
        module = next(line.split("\t")[0] for line in self.pactl("list", "short", "modules").splitlines()
                      if "sink_name=headphones" in line)
        self.pactl("unload-module", module)
        self.events.wait_until("the stream on the speakers",
                               lambda: any(re.search(r"^\s*Sink: %s$" % speakers, b, re.M)
                                           for b in (self.playing_stream() or {}).values()))
        self.assertEqual(self.ctl("status"), "Playing")


if __name__ == "__main__":
    prog = sys.argv[:1]
    result = unittest.main(argv=prog, exit=False).result
    if result.skipped and not result.failures and not result.errors:
        sys.exit(77)
    sys.exit(0 if result.wasSuccessful() else 1)
