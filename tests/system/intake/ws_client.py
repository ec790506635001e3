#!/usr/bin/env python3
# A WebSocket client built on a real client library (python3-websockets), run against the
# controller by the intake system test. It prints one line per step:
#   PONG <payload>         the controller answered our ping with this payload
#   CMD <command>          the "cmd" field of the JSON reply to a message sent in fragments
#   CLOSE <code>           the close code once the closing handshake is over
import asyncio
import json
import sys

import websockets


async def main(uri):
    async with websockets.connect(uri, compression=None, ping_interval=None,
                                  close_timeout=3, open_timeout=5) as ws:
        waiter = await ws.ping(b"are you there")
        await asyncio.wait_for(waiter, 3)
        print("PONG are you there", flush=True)

        # One command in three fragments.
        await ws.send(["config get ", "devices fragmented", " in three"])
        reply = await asyncio.wait_for(ws.recv(), 3)
        print("CMD " + json.loads(reply)["cmd"], flush=True)

        await ws.close(code=1000, reason="done")
        print("CLOSE %d" % ws.close_code, flush=True)


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
