#!/usr/bin/env python3
"""Writes the new-mail tune, assets/Sound/1.mid: a short bright chime of our own."""
import pathlib
import struct

TICKS = 480  # per quarter note


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def note_events(channel, notes):
    """notes: (delay_ticks, pitch, length_ticks, velocity); one voice, in order."""
    events = b""
    for delay, pitch, length, velocity in notes:
        events += var_len(delay) + bytes([0x90 | channel, pitch, velocity])
        events += var_len(length) + bytes([0x80 | channel, pitch, 0])
    return events


def track(body):
    body += var_len(0) + b"\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


q, e = TICKS, TICKS // 2
# A rising arpeggio that answers itself, like ripples spreading on water. Strong
# velocities: small General MIDI SoundFonts (TimGM6mb) render soft notes barely audibly.
melody = [(0, 76, e, 112), (0, 79, e, 108), (0, 84, e, 116), (0, 83, e, 104),
          (0, 79, e, 108), (0, 81, e, 104), (0, 84, q, 120), (e, 88, q + e, 124)]
bass = [(0, 48, q * 2, 92), (0, 53, q, 88), (0, 55, q, 88), (0, 48, q * 2, 96)]

conductor = var_len(0) + b"\xFF\x51\x03" + (500000).to_bytes(3, "big")  # 120 bpm
conductor += var_len(0) + b"\xFF\x58\x04\x04\x02\x18\x08"
lead = var_len(0) + bytes([0xC0, 11])  # vibraphone: it rings as long as a chime, fuller
lead += note_events(0, melody)
low = var_len(0) + bytes([0xC1, 0])    # piano
low += note_events(1, bass)

header = b"MThd" + struct.pack(">IHHH", 6, 1, 3, TICKS)
out = pathlib.Path(__file__).resolve().parent.parent / "assets" / "Sound" / "1.mid"
out.parent.mkdir(parents=True, exist_ok=True)
out.write_bytes(header + track(conductor) + track(lead) + track(low))
print(out)
