#!/usr/bin/python3
"""An RTSP server for the player's tests, on GStreamer's RTSP server library.

rtsp_server.py --address A --port P (--file F | --pattern NAME) [--silent]

Serves the H.264 video of the MPEG-TS file F on rtsp://A:P/main at the file's own pace, one
pipeline per client. With --pattern it serves a live 1920x1080 25 fps test pattern instead
(GStreamer's videotestsrc pattern NAME, e.g. smpte or ball), with the wall clock and a frame
counter (time code, frames within the second last) burned in along the bottom edge, one
pipeline shared by every client as a camera would. Prints "ready" once it listens. With
--silent it accepts connections and never answers. The port is bound with address reuse, so a
new server can take it at once after a kill.
"""
import argparse
import signal
import socket
import sys
import threading


def silent(address, port):
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind((address, port))
    srv.listen(64)
    print("ready", flush=True)
    held = []
    while True:
        conn, _ = srv.accept()
        held.append(conn)  # kept open, never read or answered


def serve(address, port, path, pattern):
    import gi

    gi.require_version("Gst", "1.0")
    gi.require_version("GstRtspServer", "1.0")
    from gi.repository import GLib, Gst, GstRtspServer

    Gst.init(None)
    server = GstRtspServer.RTSPServer()
    server.set_address(address)
    server.set_service(str(port))
    factory = GstRtspServer.RTSPMediaFactory()
    if pattern:
        factory.set_launch(
            "( videotestsrc is-live=true pattern=%s ! "
            "video/x-raw,width=1920,height=1080,framerate=25/1 ! "
            'clockoverlay halignment=left valignment=bottom font-desc="Sans 28" ! '
            "timecodestamper ! "
            'timeoverlay time-mode=time-code halignment=right valignment=bottom font-desc="Sans 28" ! '
            "videoconvert ! openh264enc bitrate=4000000 gop-size=50 ! h264parse config-interval=-1 ! "
            "rtph264pay name=pay0 pt=96 config-interval=-1 )" % pattern
        )
        factory.set_shared(True)
    else:
        location = path.replace("\\", "\\\\").replace('"', '\\"')
        factory.set_launch(
            '( filesrc location="%s" ! tsdemux ! h264parse config-interval=-1 ! '
            "rtph264pay name=pay0 pt=96 config-interval=-1 )" % location
        )
        factory.set_shared(False)
    server.get_mount_points().add_factory("/main", factory)
    if server.attach(None) == 0:
        print("cannot listen on %s:%d" % (address, port), file=sys.stderr, flush=True)
        sys.exit(1)
    print("ready", flush=True)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--address", required=True)
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--file")
    p.add_argument("--pattern")
    p.add_argument("--silent", action="store_true")
    a = p.parse_args()
    if not a.silent and not a.file and not a.pattern:
        p.error("--file or --pattern is needed")
    if a.silent:
        silent(a.address, a.port)
    else:
        serve(a.address, a.port, a.file, a.pattern)


if __name__ == "__main__":
    main()
