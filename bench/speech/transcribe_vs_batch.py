#!/ usr / bin / env python3
"""Word error rate and real-time factor of `talvex transcribe` next to PocketSphinx's own batch
decoder (pocketsphinx_batch) on the pocketsphinx-testdata recordings, in the same run.

    bench/speech/transcribe_vs_batch.py BUILD_DIR
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import wave

DATA = "/usr/share/pocketsphinx/test/data"
MODEL = "/usr/share/pocketsphinx/model/en-us"
SETS = {
    "librivox": (f"{DATA}/librivox", f"{DATA}/librivox/fileids", f"{DATA}/librivox/transcription"),
    "cards": (f"{DATA}/cards", f"{DATA}/cards/cards.fileids", f"{DATA}/cards/cards.transcription"),
}


def words(text):
    return re.sub(r"<\/?s>|\(.*?\)", " ", text.lower()).split()


def edits(ref, hyp):
    previous = list(range(len(hyp) + 1))
    for i, r in enumerate(ref, 1):
        current = [i]
        for j, h in enumerate(hyp, 1):
            current.append(min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (r != h)))
        previous = current
    return previous[-1]


def references(path):
    refs = {}
    for line in open(path):
        match = re.match(r"(.*)\((\S+)\)\s*$", line.strip())
        if match:
            refs[match.group(2)] = words(match.group(1))
    return refs


def wer(refs, hyps):
    errors = sum(edits(refs[k], hyps.get(k, [])) for k in refs)
    return errors / sum(len(v) for v in refs.values())


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/speech"
    talvex = os.path.join(build, "src/app/talvex")
    for name, (folder, fileids, transcription) in SETS.items():
        ids = [line.split()[0] for line in open(fileids) if line.strip()]
        files = [os.path.join(folder, os.path.basename(i) + ".wav") for i in ids]
        audio = sum(wave.open(f).getnframes() / wave.open(f).getframerate() for f in files)
        refs = references(transcription)
        refs = {os.path.basename(k): v for k, v in refs.items()}

        with tempfile.TemporaryDirectory() as tmp:
            hyp_file = os.path.join(tmp, "hyp")
            start = time.monotonic()
            subprocess.run(["pocketsphinx_batch", "-ctl", fileids, "-cepdir", folder, "-cepext", ".wav",
                            "-adcin", "yes", "-adchdr", "44", "-hmm", f"{MODEL}/en-us", "-lm", f"{MODEL}/en-us.lm.bin",
                            "-dict", f"{MODEL}/cmudict-en-us.dict", "-hyp", hyp_file, "-logfn", "/dev/null"], check=True)
            batch_time = time.monotonic() - start
            batch = {}
            for line in open(hyp_file):
                match = re.match(r"(.*)\((\S+)\s+-?\d+\)\s*$", line.strip())
                if match:
                    batch[os.path.basename(match.group(2))] = words(match.group(1))

        start = time.monotonic()
        result = subprocess.run([talvex, "transcribe", *files], capture_output=True, text=True)
        ours_time = time.monotonic() - start
        lines = result.stdout.splitlines()
        ours = {os.path.basename(i): words(lines[n]) if n < len(lines) else [] for n, i in enumerate(ids)}

#The live path as a dictation runs it : partial text, pause - ended segments, early finals.
        start = time.monotonic()
        result = subprocess.run([talvex, "transcribe", "--partials", *files], capture_output=True, text=True)
        live_time = time.monotonic() - start
        lines = [line for line in result.stdout.splitlines() if not line.startswith("partial: ")]
        live = {os.path.basename(i): words(lines[n]) if n < len(lines) else [] for n, i in enumerate(ids)}

        print(f"{name}: {len(files)} files, {audio:.1f} s of audio")
        print(f"  pocketsphinx_batch  WER {wer(refs, batch) * 100:5.1f} %  time {batch_time:6.2f} s  RTF {batch_time / audio:.3f}")
        print(f"  talvex transcribe   WER {wer(refs, ours) * 100:5.1f} %  time {ours_time:6.2f} s  RTF {ours_time / audio:.3f}")
        print(f"  time ratio ours/batch {ours_time / batch_time:.2f}")
        print(f"  talvex transcribe --partials (live path)  WER {wer(refs, live) * 100:5.1f} %  time {live_time:6.2f} s")


if __name__ == "__main__":
    main()
