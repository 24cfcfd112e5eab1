#!/bin/sh
# Makes the sound fixtures of the loader tests with independent tools (sox,
# oggenc): short tones in each depth and layout, the decodes sox makes of
# them as raw little-endian samples, and Vorbis streams, one of which is a
# full-scale square wave whose decode overshoots full scale.
# Run from this folder; needs sox and vorbis-tools. sox runs repeatably
# (-R) and generates at the files' own rates, so nothing is resampled.
set -e
tone() {
  rate=$1 channels=$2 bits=$3
  shift 3
  sox -R -r "$rate" -c "$channels" -n -b "$bits" "$@" synth 0.05 sine 440 sine 660 vol 0.8
}

# wavpcm keeps the plain PCM format tag for 24 bits, where sox's default
# would be the extensible one.
tone 8000 1 8 -t wavpcm mono8.wav
tone 8000 2 8 -t wavpcm stereo8.wav
tone 11025 1 16 -t wavpcm mono16.wav
tone 11025 2 16 -t wavpcm stereo16.wav
tone 22050 1 24 -t wavpcm mono24.wav
tone 22050 2 24 -t wavpcm stereo24.wav
tone 8000 1 8 mono8.aiff
tone 11025 2 16 stereo16.aiff
tone 22050 1 24 mono24.aiff
tone 22050 2 24 stereo24.aiff

# sox's own decodes: 8-bit WAVE unsigned, 8-bit AIFF signed, deeper
# samples signed little-endian.
for name in mono8 stereo8; do sox $name.wav -t raw -e unsigned $name.wav.raw; done
sox mono8.aiff -t raw -e signed mono8.aiff.raw
for name in mono16.wav stereo16.wav mono24.wav stereo24.wav stereo16.aiff mono24.aiff stereo24.aiff; do
  sox $name -t raw -e signed -L $name.raw
done

sox -R -r 22050 -c 1 -n -b 16 tone.tmp.wav synth 0.3 sine 440 vol 0.5
sox -R -r 44100 -c 2 -n -b 16 chord.tmp.wav synth 0.3 sine 440 sine 550 vol 0.5
sox -R -D -r 22050 -c 1 -n -b 16 square.tmp.wav synth 0.3 square 220 vol 0.99
oggenc -Q --serial 11 -q 2 -o mono.ogg tone.tmp.wav
oggenc -Q --serial 12 -q 2 -o stereo.ogg chord.tmp.wav
oggenc -Q --serial 13 -q 2 -o clipping.ogg square.tmp.wav
rm -f tone.tmp.wav chord.tmp.wav square.tmp.wav
