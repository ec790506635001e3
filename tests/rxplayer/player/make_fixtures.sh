#!/bin/sh
# Makes the small test streams of the player tests into folder $1.
set -e
out=$1
mkdir -p "$out"
ff="ffmpeg -hide_banner -loglevel error -y"
video="-f lavfi -i testsrc=size=320x240:rate=25"
x264="-c:v libx264 -preset ultrafast -g 25 -bf 0 -pix_fmt yuv420p"
# H.264 alone in MPEG-TS, 4 s.
$ff $video -t 4 $x264 -f mpegts "$out/h264.ts"
# H.264 whose parameter sets are larger than an init packet (128 bytes): custom scaling
# matrices in the sequence parameter set.
cqm() { awk -v n="$1" -v k="$2" 'BEGIN { for (i = 0; i < n; i++) printf "%s%d", (i ? "," : ""), (i * k + 11) % 240 + 8 }'; }
$ff $video -t 2 $x264 -x264-params \
    "8x8dct=1:cqm4i=$(cqm 16 37):cqm4p=$(cqm 16 53):cqm8i=$(cqm 64 97):cqm8p=$(cqm 64 71)" \
    -f mpegts "$out/bigsps.ts"
# Audio as the first stream, then H.264.
$ff -f lavfi -i sine=frequency=440:sample_rate=48000 $video -t 4 -map 0:a -map 1:v -c:a mp2 \
    $x264 -f mpegts "$out/audiofirst.ts"
# Audio only.
$ff -f lavfi -i sine=frequency=440:sample_rate=48000 -t 2 -c:a mp2 -f mpegts "$out/audioonly.ts"
# MPEG-4 part 2 video, which the hardware does not decode.
$ff $video -t 2 -c:v mpeg4 -f mpegts "$out/mpeg4.ts"
# H.264 with G.711 mu-law mono at 8 kHz in 160-byte packets.
$ff $video -f lavfi -i sine=frequency=440:sample_rate=8000:samples_per_frame=160 -t 16 \
    -map 0:v -map 1:a $x264 -c:a pcm_mulaw -ar 8000 -ac 1 -f nut "$out/g711.nut"
# H.264 with 16-bit big-endian stereo PCM.
$ff $video -f lavfi -i sine=frequency=440:sample_rate=48000:samples_per_frame=160 -t 9 \
    -map 0:v -map 1:a $x264 -c:a pcm_s16be -ac 2 -f mov "$out/s16be.mov"
# A longer H.264 stream for the live sources of the black-box tests, at a camera's rate
# (about 1 Mbit/s, a key frame every 10 frames), so that a probe of a live copy finds its
# parameter sets as soon as on a camera.
$ff $video -t 40 -vf noise=alls=12:allf=t -c:v libx264 -preset ultrafast -g 10 -bf 0 \
    -pix_fmt yuv420p -b:v 1000k -maxrate 1000k -bufsize 500k -f mpegts "$out/live.ts"
touch "$out/stamp"
