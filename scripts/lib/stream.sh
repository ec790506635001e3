# Shared by the scripts that need a test stream. Sourced, not run.
#
# make_stream FILE [FRAMES [PATTERN [GOP]]]: makes FILE, FRAMES (default 3000) frames of
# ffmpeg's test pattern PATTERN (default testsrc2, a moving pattern; smptebars gives colour bars)
# at 1920x1080, 25 frames a second, as H.264 in MPEG-TS with a key frame and its parameter sets
# every GOP frames (default 50), with the stream's clock and frame counter burned in at the
# bottom left, unless FILE is already there.
make_stream() {
    local file=$1 frames=${2:-3000} pattern=${3:-testsrc2} gop=${4:-50}
    [ -s "$file" ] && return 0
    mkdir -p "$(dirname "$file")"
    echo "Making $file ($frames frames of 1080p25 H.264, $pattern)"
    local counter="drawtext=text='%{pts\\:hms} %{n}':x=40:y=h-120:fontsize=72:fontcolor=white:box=1:boxcolor=black"
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$pattern=size=1920x1080:rate=25" \
        -frames:v "$frames" -vf "$counter" -c:v libx264 -preset ultrafast -g "$gop" -bf 0 \
        -pix_fmt yuv420p -f mpegts "$file.tmp"
    mv "$file.tmp" "$file"
}
