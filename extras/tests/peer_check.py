#!/usr/bin/python3
"""Checks the files that extras_tests leaves behind against real peers.

MIDI files: mido (python3-mido) reads each one, which rejects malformed
chunks, bad variable-length quantities and data bytes above 127; the events
it finds must be exactly those listed in the matching .expect file.

parser.tsv: each expression is evaluated by Python's own float arithmetic
and compared with the value (or the failure) the evaluator gave.

Usage: peer_check.py <folder>
"""
import math
import os
import re
import sys


def describe_midi(path):
    import mido

    mid = mido.MidiFile(path)
    lines = ["type %d tracks %d tpq %d" % (mid.type, len(mid.tracks), mid.ticks_per_beat)]
    for track in mid.tracks:
        lines.append("track")
        tick = 0
        for msg in track:
            tick += msg.time
            if msg.type in ("note_on", "note_off"):
                lines.append("%d %s %d %d %d" % (tick, msg.type, msg.channel, msg.note, msg.velocity))
            elif msg.type == "time_signature":
                lines.append("%d time_signature %d %d %d %d" % (
                    tick, msg.numerator, msg.denominator, msg.clocks_per_click,
                    msg.notated_32nd_notes_per_beat))
            elif msg.type == "set_tempo":
                lines.append("%d set_tempo %d" % (tick, msg.tempo))
            elif msg.type == "channel_prefix":
                lines.append("%d channel_prefix %d" % (tick, msg.channel))
            elif msg.type == "end_of_track":
                lines.append("%d end_of_track" % tick)
            else:
                lines.append("%d %r" % (tick, msg))
    return "\n".join(lines) + "\n"


def check_midi(folder, name):
    path = os.path.join(folder, name)
    try:
        got = describe_midi(path)
    except Exception as e:  # mido's own complaint about the file
        return ["%s: mido cannot read it: %s: %s" % (name, type(e).__name__, e)]
    with open(os.path.splitext(path)[0] + ".expect") as f:
        want = f.read()
    if got == want:
        return []
    g, w = got.splitlines(), want.splitlines()
    for i in range(max(len(g), len(w))):
        gl = g[i] if i < len(g) else "(nothing)"
        wl = w[i] if i < len(w) else "(nothing)"
        if gl != wl:
            return ["%s: event %d: mido read %r, expected %r" % (name, i, gl, wl)]
    return ["%s: events differ" % name]


FUNCTIONS = {
    "sin": math.sin, "cos": math.cos, "tan": math.tan,
    "ln": math.log, "lg": math.log10, "abs": math.fabs, "__builtins__": {},
}


def python_value(expr, eps=0.0):
    """The value in double arithmetic, or None when Python fails too. With
    eps, every number of the expression is first scaled by 1 + eps."""
    def number(m):
        n = m.group(0) if "." in m.group(0) else m.group(0) + ".0"
        return "(%s*%r)" % (n, 1.0 + eps) if eps else n
    text = re.sub(r"\d+(?:\.\d+)?", number, expr).replace("^", "**")
    try:
        v = eval(text, FUNCTIONS)
    except (ZeroDivisionError, ValueError, OverflowError, TypeError):
        # TypeError: a complex intermediate handed to a real function
        return None
    if isinstance(v, complex):  # a negative base under a fractional power
        return None
    return float(v)


def sensitivity(expr, want):
    """How far the value moves when the numbers move by one part in 10^12:
    ill-conditioned expressions (large arguments of sin and tan, cancelling
    sums) may differ between math libraries by about that much. Infinite
    when the perturbed expression fails where the plain one did not, or the
    other way round."""
    spread = 0.0
    for eps in (1e-12, -1e-12):
        v = python_value(expr, eps)
        if (v is None) != (want is None):
            return math.inf
        if v is not None:
            spread = max(spread, abs(v - want))
    return spread


def check_parser(folder):
    problems, compared, failed_both, skipped = [], 0, 0, 0
    with open(os.path.join(folder, "parser.tsv")) as f:
        rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    for expr, ours in rows:
        want = python_value(expr)
        if want is not None and not math.isfinite(want):
            # Python's doubles overflowed where the evaluator's long doubles did not.
            skipped += 1
            continue
        if ours.startswith("ERR:") or want is None:
            if ours.startswith("ERR:") and want is None:
                failed_both += 1
            elif sensitivity(expr, want) == math.inf:
                skipped += 1  # at the edge of failing: either answer will do
            elif want is None:
                problems.append("%s: evaluator gives %s, Python fails" % (expr, ours))
            else:
                problems.append("%s: evaluator failed (%s), Python gives %r" % (expr, ours[4:], want))
            continue
        got = float(ours)
        compared += 1
        tolerance = 1e-9 * max(1.0, abs(want)) + sensitivity(expr, want)
        if not abs(got - want) <= tolerance:
            problems.append("%s: evaluator gives %s, Python %r" % (expr, ours, want))
    if compared < len(rows) // 2:
        problems.append("only %d of %d expressions had a value to compare" % (compared, len(rows)))
    if skipped > len(rows) // 50:
        problems.append("%d expressions skipped" % skipped)
    print("parser.tsv: %d values agree with Python, %d fail in both, %d skipped" % (
        compared, failed_both, skipped))
    return problems


def main():
    folder = sys.argv[1]
    with open(os.path.join(folder, "manifest.txt")) as f:
        names = [line.strip() for line in f if line.strip()]
    try:
        import mido  # noqa: F401
    except ImportError:
        print("python3-mido is not installed (tools/bootstrap installs it)")
        return 1
    problems = []
    midi = [n for n in names if n.endswith(".mid")]
    for name in midi:
        problems += check_midi(folder, name)
    print("%d MIDI files read by mido %s" % (len(midi), mido.__version__))
    if "parser.tsv" in names:
        problems += check_parser(folder)
    for p in problems:
        print("FAIL " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
