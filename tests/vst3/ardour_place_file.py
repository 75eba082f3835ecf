#!/usr/bin/env python3
"""Puts a stereo audio file on the first track of a saved Ardour 7 session, from its start to
its end, as Ardour's own import would leave it: the file among the session's audio files, a
source per channel, one region without fades or gain, and the session range around it. The
headless Lua interpreter has no import of its own."""
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

SUPERCLOCKS_PER_SECOND = 282240000  # Ardour 7's time unit


def main(session_dir, name, audio_file):
    session_dir = Path(session_dir)
    session_file = session_dir / f"{name}.ardour"
    tree = ET.parse(session_file)
    root = tree.getroot()
    rate = int(root.get("sample-rate"))
    frames = int(subprocess.check_output(["soxi", "-s", audio_file]).decode())
    channels = int(subprocess.check_output(["soxi", "-c", audio_file]).decode())
    length = f"a{frames * SUPERCLOCKS_PER_SECOND // rate}"
    duration = f"{length}@a0"  # a span is written with the position it starts at

    # Ardour looks for the audio files under the session folder's own name.
    target = session_dir / "interchange" / session_dir.name / "audiofiles" / Path(audio_file).name
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(audio_file, target)

    next_id = int(root.get("id-counter"))

    def new_id():
        nonlocal next_id
        next_id += 1
        return str(next_id)

    # Whatever the session has on, no fade may touch the file's first or last samples.
    for option in root.find("Config"):
        if option.get("name") in ("use-region-fades", "use-transport-fades", "use-monitor-fades"):
            option.set("value", "0")

    sources = root.find("Sources")
    source_ids = []
    for channel in range(channels):
        source_ids.append(new_id())
        ET.SubElement(sources, "Source", {
            "name": target.name, "type": "audio", "flags": "", "id": source_ids[-1],
            "captured-for": "", "channel": str(channel), "origin": str(audio_file)})

    playlist = root.find("Playlists").find("Playlist")
    region = {
        "name": target.stem, "id": new_id(), "type": "audio", "position": "a0", "start": "a0",
        "length": duration, "muted": "0", "opaque": "1", "whole-file": "0",
        "envelope-active": "0", "default-fade-in": "0", "default-fade-out": "0",
        "fade-in-active": "0", "fade-out-active": "0", "scale-amplitude": "1",
        "channels": str(channels)}
    for channel, source in enumerate(source_ids):
        region[f"source-{channel}"] = source
        region[f"master-source-{channel}"] = source
    ET.SubElement(playlist, "Region", region)

    ET.SubElement(root.find("Locations"), "Location", {
        "id": new_id(), "name": "session", "start": "a0", "end": length,
        "flags": "IsSessionRange", "locked": "0", "timestamp": "0", "cue": "0"})
    root.set("id-counter", str(next_id + 1))
    tree.write(session_file, encoding="UTF-8", xml_declaration=True)


if __name__ == "__main__":
    main(*sys.argv[1:4])
