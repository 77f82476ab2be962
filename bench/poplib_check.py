#!/usr/bin/python3
"""The POP3 work of one mail check done with Python's poplib, for comparison:
UIDL, STAT, then TOP n 0 for every message. Prints the seconds it took."""
import poplib
import sys
import time

host, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
start = time.monotonic()
pop = poplib.POP3(host, port, timeout=60)
pop.user(user)
pop.pass_(password)
pop.uidl()
count, _ = pop.stat()
for n in range(1, count + 1):
    pop.top(n, 0)
pop.quit()
print(f"{time.monotonic() - start:.6f}")
