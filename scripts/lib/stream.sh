# Shared by the scripts that need a test stream. Sourced, not run.
#
# make_stream FILE [FRAMES]: makes FILE, FRAMES (default 3000) frames of a moving 1080p25 test
# pattern as H.264 in MPEG-TS, unless it is already there.
make_stream() {
    local file=$1 frames=${2:-3000}
    [ -s "$file" ] && return 0
    mkdir -p "$(dirname "$file")"
    echo "Making $file ($frames frames of 1080p25 H.264)"
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 \
        -frames:v "$frames" -c:v libx264 -preset ultrafast -g 50 -bf 0 -pix_fmt yuv420p \
        -f mpegts "$file.tmp"
    mv "$file.tmp" "$file"
}
