#!/usr/bin/env python3
"""Word error rate and cost of talvex's final transcripts next to PocketSphinx's own batch decoder
(pocketsphinx_batch, each recording decoded whole), for each search width (TALVEX_SPHINX_SEARCH), on
the pocketsphinx-testdata recordings (librivox, cards) and on flite speech (sentences.txt, one voice
per set: kal16, slt, rms, awb).

    bench/speech/transcribe_vs_batch.py [BUILD_DIR] [--widths fast,accurate] [--sets librivox,cards,...]
                                        [--sentences N]  (the first N flite sentences per voice)
                                        [--repeat N]

Three decodings of each set, each in one run over all its files:
  batch      pocketsphinx_batch with the model's defaults: the reference
  recording  `talvex transcribe FILE...`: each file decoded whole, normalised by its own mean
  dictation  `talvex transcribe --partials FILE... FILE...`: the live path a dictation takes (the decoder
             follows the audio, ends utterances at pauses, carries its normalisation from file to file),
             twice through the set: "dictation first" is the first pass, which starts without a
             normalisation as the first dictation on a computer does; "dictation" is the second, which
             starts from what the first left, as every later dictation does
Times are the processes' CPU seconds (user + system; the machines are shared, wall time says little)
and wall seconds; RTF = CPU seconds per second of audio. Batch decoding and the recording at the
first width run --repeat times (3), alternating, and the cheapest run of each counts.
"""
import argparse
import json
import os
import re
import resource
import subprocess
import sys
import tempfile
import time
import wave

DATA = "/usr/share/pocketsphinx/test/data"
MODEL = "/usr/share/pocketsphinx/model/en-us"
HERE = os.path.dirname(os.path.abspath(__file__))
VOICES = ["kal16", "slt", "rms", "awb"]


def words(text):
    return re.sub(r"<\/?s>|\(.*?\)|[^a-z0-9' ]", " ", text.lower()).split()


def edits(ref, hyp):
    previous = list(range(len(hyp) + 1))
    for i, r in enumerate(ref, 1):
        current = [i]
        for j, h in enumerate(hyp, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (r != h)))
        previous = current
    return previous[-1]


def recording_set(folder, fileids, transcription):
    refs = {}
    for line in open(transcription):
        match = re.match(r"(.*)\((\S+)\)\s*$", line.strip())
        if match:
            refs[os.path.basename(match.group(2))] = words(match.group(1))
    ids = [os.path.basename(line.split()[0]) for line in open(fileids) if line.strip()]
    return [(os.path.join(folder, i + ".wav"), refs[i]) for i in ids]


def flite_set(voice, folder, count):
    items = []
    lines = open(os.path.join(HERE, "sentences.txt")).read().splitlines()[:count]
    for n, sentence in enumerate(lines, 1):
        path = os.path.join(folder, f"{voice}-{n:02d}.wav")
        subprocess.run(["flite", "-voice", voice, "-t", sentence.strip(), "-o", path], check=True)
        items.append((path, words(sentence)))
    return items


class Cost:
    """CPU and wall seconds of the child processes run inside the block."""

    def __enter__(self):
        self.usage = resource.getrusage(resource.RUSAGE_CHILDREN)
        self.start = time.monotonic()
        return self

    def __exit__(self, *_):
        usage = resource.getrusage(resource.RUSAGE_CHILDREN)
        self.wall = time.monotonic() - self.start
        self.cpu = (usage.ru_utime - self.usage.ru_utime) + (usage.ru_stime - self.usage.ru_stime)


def batch(items, tmp):
    ctl = os.path.join(tmp, "ctl")
    hyp_file = os.path.join(tmp, "hyp")
    with open(ctl, "w") as out:
        for path, _ in items:
            out.write(os.path.splitext(path)[0] + "\n")
    with Cost() as cost:
        subprocess.run(["pocketsphinx_batch", "-ctl", ctl, "-cepdir", "/", "-cepext", ".wav", "-adcin", "yes",
                        "-adchdr", "44", "-hmm", f"{MODEL}/en-us", "-lm", f"{MODEL}/en-us.lm.bin",
                        "-dict", f"{MODEL}/cmudict-en-us.dict", "-hyp", hyp_file, "-logfn", "/dev/null"],
                       check=True)
    texts = {}
    for line in open(hyp_file):
        match = re.match(r"(.*)\((\S+)\s+-?\d+\)\s*$", line.strip())
        if match:
            texts[os.path.basename(match.group(2))] = words(match.group(1))
    hyps = [texts.get(os.path.basename(os.path.splitext(path)[0]), []) for path, _ in items]
    return hyps, cost


def talvex(build, items, width, live, passes=1):
    """Hypotheses of each pass over `items` in one run of talvex transcribe, and the run's cost."""
    arguments = [os.path.join(build, "src/app/talvex"), "transcribe", "--json"]
    if live:
        arguments.append("--partials")
    environment = dict(os.environ, TALVEX_SPHINX_SEARCH=width)
    with Cost() as cost:
        result = subprocess.run(arguments + [path for path, _ in items] * passes, capture_output=True,
                                text=True, env=environment)
    outcomes = [json.loads(line) for line in result.stdout.splitlines()]
    hyps = [words(outcome.get("text", "")) for outcome in outcomes]
    return [hyps[n * len(items):(n + 1) * len(items)] for n in range(passes)], cost


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build/release")
    parser.add_argument("--widths", default="fast,accurate")
    parser.add_argument("--recordings-only", action="store_true", help="leave out the live path")
    parser.add_argument("--sentences", type=int, default=None, help="flite sentences per voice (all)")
    parser.add_argument("--repeat", type=int, default=3,
                        help="runs of batch decoding and of the recording at the first width (cheapest counts)")
    parser.add_argument("--sets", default="librivox,cards," + ",".join("flite-" + v for v in VOICES))
    options = parser.parse_args()
    if options.repeat < 1:
        parser.error("--repeat needs at least one run")
    widths = options.widths.split(",")

    with tempfile.TemporaryDirectory() as tmp:
        sets = {}
        for name in options.sets.split(","):
            if name == "librivox":
                sets[name] = recording_set(f"{DATA}/librivox", f"{DATA}/librivox/fileids",
                                           f"{DATA}/librivox/transcription")
            elif name == "cards":
                sets[name] = recording_set(f"{DATA}/cards", f"{DATA}/cards/cards.fileids",
                                           f"{DATA}/cards/cards.transcription")
            elif name.startswith("flite-"):
                sets[name] = flite_set(name[len("flite-"):], tmp, options.sentences)

        rows = []  # (set, decoding, errors, reference words, cpu, wall, audio seconds)
        for name, items in sets.items():
            audio = sum(wave.open(path).getnframes() / wave.open(path).getframerate() for path, _ in items)
            reference = sum(len(ref) for _, ref in items)

            def row(decoding, hyps, cost):
                errors = sum(edits(ref, hyp) for (_, ref), hyp in zip(items, hyps))
                cpu, wall = (cost.cpu, cost.wall) if cost else (float("nan"), float("nan"))
                rows.append((name, decoding, errors, reference, cpu, wall, audio))
                print(f"{name:12} {decoding:24} WER {100 * errors / reference:5.1f} %  CPU {cpu:7.2f} s  "
                      f"RTF {cpu / audio:.3f}  wall {wall:7.2f} s", flush=True)

            # Batch decoding and the recording at the first width alternate `repeat` times, and the
            # cheapest run of each counts: another process on a shared machine only ever adds time.
            batches, recordings = [], []
            for _ in range(options.repeat):
                batches.append(batch(items, tmp))
                recordings.append(talvex(options.build, items, widths[0], False))
            row("batch", *min(batches, key=lambda run: run[1].cpu))
            for width in widths:
                if width == widths[0]:
                    passes, cost = min(recordings, key=lambda run: run[1].cpu)
                else:
                    passes, cost = talvex(options.build, items, width, False)
                row(f"recording {width}", passes[0], cost)
                if options.recordings_only:
                    continue
                # Twice through the set: the first pass starts without a normalisation, as a first
                # dictation does; the second starts from what the first left, as later ones do. Its
                # cost is half the run's.
                passes, cost = talvex(options.build, items, width, True, passes=2)
                row(f"dictation first {width}", passes[0], None)
                cost.cpu /= 2
                cost.wall /= 2
                row(f"dictation {width}", passes[1], cost)

        print("\nAll sets together (recordings = librivox + cards, flite = its voices):")
        groups = {"recordings": lambda s: s in ("librivox", "cards"), "flite": lambda s: s.startswith("flite-"),
                  "all": lambda s: True}
        decodings = ["batch"] + [f"{kind} {w}" for w in widths
                                 for kind in ("recording", "dictation first", "dictation")]
        for group, member in groups.items():
            for decoding in decodings:
                chosen = [r for r in rows if member(r[0]) and r[1] == decoding]
                if not chosen:
                    continue
                errors = sum(r[2] for r in chosen)
                reference = sum(r[3] for r in chosen)
                cpu = sum(r[4] for r in chosen)
                wall = sum(r[5] for r in chosen)
                audio = sum(r[6] for r in chosen)
                print(f"  {group:10} {decoding:24} WER {100 * errors / reference:5.1f} %  RTF {cpu / audio:.3f}  "
                      f"CPU {cpu:7.2f} s  wall {wall:7.2f} s")
        default = widths[0]
        for decoding in (f"recording {default}",):
            ours = [r for r in rows if r[1] == decoding]
            theirs = [r for r in rows if r[1] == "batch"]
            print(f"\ntalvex transcribe ({default}) against pocketsphinx_batch: CPU time ratio "
                  f"{sum(r[4] for r in ours) / sum(r[4] for r in theirs):.3f}, wall time ratio "
                  f"{sum(r[5] for r in ours) / sum(r[5] for r in theirs):.3f}")


if __name__ == "__main__":
    main()
