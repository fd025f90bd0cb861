#!/usr/bin/env python3
"""Writes capture.wav, the shutter sound: two short clicks of filtered noise,
as a camera's mirror and shutter make them. Deterministic; run it again only
to change the sound."""
import math
import random
import struct
import wave

RATE = 44100


def click(start, length, pitch, gain, rng):
    samples = []
    low = 0.0
    for i in range(int(length * RATE)):
        t = i / RATE
        envelope = math.exp(-t * 55) * min(1.0, i / 40)
        noise = rng.uniform(-1, 1)
        low += 0.35 * (noise - low)  # soften the hiss
        tone = math.sin(2 * math.pi * pitch * t) * math.exp(-t * 90)
        samples.append(gain * envelope * (0.7 * low + 0.3 * tone))
    return start, samples


def main():
    rng = random.Random(20261208)
    total = int(0.32 * RATE)
    mix = [0.0] * total
    for start, samples in (click(0.0, 0.12, 1900, 0.9, rng), click(0.11, 0.2, 1200, 0.75, rng)):
        offset = int(start * RATE)
        for i, s in enumerate(samples):
            if offset + i < total:
                mix[offset + i] += s
    with wave.open("capture.wav", "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 30000)) for s in mix))


if __name__ == "__main__":
    main()
