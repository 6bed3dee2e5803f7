#!/usr/bin/python3
"""An SMTP proxy on 127.0.0.1 that spoils connections on request.

Usage: fault_proxy.py UPSTREAM_PORT

Prints "PORT <mail port> CONTROL <control port>" once it listens. A client of
the control port sends one fault name a line; the proxy answers "ok" and
applies that fault to every mail connection from then on:

  none            pass everything through
  slow            hold each reply 50 ms (well inside any time-out)
  stall_short     hold the reply to the end of the data 500 ms
  close           close at once, before the greeting
  greeting_error  greet with "421 soak busy" and close
  mail_error      answer MAIL with "451 soak try later" (not passed on)
  greeting_stall  say nothing for 2.5 s, then close
  stall_data      hold the reply to DATA 2.5 s, then close
  close_mid_data  close both sides once 2000 bytes came from the client
"""
import asyncio
import sys

FAULTS = {"none", "slow", "stall_short", "close", "greeting_error", "mail_error", "greeting_stall",
          "stall_data", "close_mid_data"}
LONG_STALL = 2.5


class Connection:
    def __init__(self, fault, reader, writer, upstream_port):
        self.fault = fault
        self.reader = reader
        self.writer = writer
        self.upstream_port = upstream_port
        self.from_client = 0
        self.data_ended = False   # the client has sent "\r\n.\r\n"
        self.asked_data = False   # the client has sent DATA, its reply is due
        self.tail = b""

    async def run(self):
        try:
            if self.fault == "close":
                return
            if self.fault == "greeting_error":
                self.writer.write(b"421 soak busy\r\n")
                await self.writer.drain()
                return
            if self.fault == "greeting_stall":
                await asyncio.sleep(LONG_STALL)
                return
            up_reader, up_writer = await asyncio.open_connection("127.0.0.1", self.upstream_port)
            try:
                await asyncio.gather(self.client_to_server(up_writer), self.server_to_client(up_reader))
            finally:
                up_writer.close()
        except (ConnectionError, asyncio.IncompleteReadError):
            pass
        finally:
            self.writer.close()

    async def client_to_server(self, up_writer):
        while True:
            chunk = await self.reader.read(65536)
            if not chunk:
                up_writer.write_eof()
                return
            self.from_client += len(chunk)
            if self.fault == "close_mid_data" and self.from_client >= 2000:
                # Abrupt: the server sees the data end without its end line.
                up_writer.transport.abort()
                self.writer.transport.abort()
                return
            seen = self.tail + chunk
            if b"\r\n.\r\n" in seen:
                self.data_ended = True
            for line in seen.split(b"\r\n")[:-1]:
                if line.upper() == b"DATA":
                    self.asked_data = True
            self.tail = seen[-8:]
            if self.fault == "mail_error" and chunk.upper().startswith(b"MAIL"):
                self.writer.write(b"451 soak try later\r\n")
                await self.writer.drain()
                continue
            up_writer.write(chunk)
            await up_writer.drain()

    async def server_to_client(self, up_reader):
        while True:
            chunk = await up_reader.read(65536)
            if not chunk:
                return
            if self.fault == "slow":
                await asyncio.sleep(0.05)
            if self.fault == "stall_short" and self.data_ended:
                await asyncio.sleep(0.5)
            if self.fault == "stall_data" and self.asked_data and chunk.startswith(b"354"):
                await asyncio.sleep(LONG_STALL)
                self.writer.transport.abort()
                return
            self.writer.write(chunk)
            await self.writer.drain()


async def main():
    upstream_port = int(sys.argv[1])
    state = {"fault": "none"}
    # The streams drop their handler's task when the client's side is lost;
    # holding it here lets it finish and close the upstream side too.
    running = set()

    async def on_mail(reader, writer):
        task = asyncio.current_task()
        running.add(task)
        try:
            await Connection(state["fault"], reader, writer, upstream_port).run()
        finally:
            running.discard(task)

    async def on_control(reader, writer):
        while True:
            line = await reader.readline()
            if not line:
                break
            name = line.decode().strip()
            if name not in FAULTS:
                writer.write(b"unknown fault\n")
            else:
                state["fault"] = name
                writer.write(b"ok\n")
            await writer.drain()
        writer.close()

    mail = await asyncio.start_server(on_mail, "127.0.0.1", 0)
    control = await asyncio.start_server(on_control, "127.0.0.1", 0)
    print("PORT %d CONTROL %d" % (mail.sockets[0].getsockname()[1], control.sockets[0].getsockname()[1]),
          flush=True)
    # Runs until its standard input closes, like the capture server.
    loop = asyncio.get_running_loop()
    stop = loop.create_future()
    loop.add_reader(sys.stdin.fileno(),
                    lambda: sys.stdin.buffer.read1(4096) or stop.done() or stop.set_result(None))
    await stop


if __name__ == "__main__":
    asyncio.run(main())
