#!/usr/bin/python3
"""The tests' OAuth 2.0 authorization server on 127.0.0.1; see oauth_server.h."""

import argparse
import base64
import collections
import hashlib
import http.server
import json
import re
import secrets
import threading
import time
import urllib.parse

CLIENT_ID = "kavrel-test"
EXPIRES_IN = 3600
DEVICE_LIFETIME = 600
SLOW_DOWN_STEP = 5
DEVICE_GRANT = "urn:ietf:params:oauth:grant-type:device_code"
# RFC 7636 4.1: 43 to 128 unreserved characters.
VERIFIER = re.compile(r"^[A-Za-z0-9\-._~]{43,128}$")


class Store:
    """Everything the server knows, behind one lock."""

    def __init__(self, interval):
        self.interval = interval
        self.lock = threading.Lock()
        self.codes = {}  # code -> grant
        self.access = {}  # token -> user
        self.refresh = {}  # token -> {user, scope}
        self.devices = {}  # device_code -> state
        self.user_codes = {}  # user_code -> device_code
        self.consent = True
        self.stats = collections.Counter()

    def issue(self, user, scope, with_refresh=True):
        access = "at-" + secrets.token_urlsafe(24)
        self.access[access] = user
        answer = {
            "access_token": access,
            "token_type": "Bearer",
            "expires_in": EXPIRES_IN,
            "scope": scope,
        }
        if with_refresh:
            refresh = "rt-" + secrets.token_urlsafe(24)
            self.refresh[refresh] = {"user": user, "scope": scope}
            answer["refresh_token"] = refresh
        return answer


class OAuthError(Exception):
    def __init__(self, error, description, status=400):
        super().__init__(description)
        self.error = error
        self.description = description
        self.status = status


def s256(verifier):
    digest = hashlib.sha256(verifier.encode("ascii")).digest()
    return base64.urlsafe_b64encode(digest).rstrip(b"=").decode("ascii")


def first(fields, name):
    values = fields.get(name)
    return values[0] if values else ""


def known_client(client_id):
    if client_id != CLIENT_ID:
        raise OAuthError("invalid_client", "unknown client " + client_id, 401)


class Handler(http.server.BaseHTTPRequestHandler):
    # Every answer closes its connection, so that a client never waits on a kept-alive one.
    protocol_version = "HTTP/1.1"

    @property
    def store(self):
        return self.server.store

    def log_message(self, format, *args):
        pass

    def answer(self, status, body, content_type, headers=()):
        data = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.close_connection = True
        self.wfile.write(data)

    def json(self, status, value):
        self.answer(status, json.dumps(value), "application/json;charset=UTF-8")

    def text(self, status, text):
        self.answer(status, text + "\n", "text/plain;charset=UTF-8")

    def redirect(self, target, **params):
        query = urllib.parse.urlencode({k: v for k, v in params.items() if v is not None})
        joiner = "&" if urllib.parse.urlsplit(target).query else "?"
        self.answer(302, "", "text/plain", (("Location", target + joiner + query),))

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        routes = {
            "/authorize": self.authorize,
            "/device": self.verify_device,
            "/control/stats": lambda _: self.json(200, self.store.stats),
        }
        self.route(routes, url.path, query)

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length).decode("utf-8", "replace")
        fields = urllib.parse.parse_qs(body, keep_blank_values=True)
        routes = {
            "/token": self.token,
            "/device_authorization": self.device_authorization,
            "/introspect": self.introspect,
            "/control/issue": self.control_issue,
            "/control/revoke": self.control_revoke,
            "/control/expire_device": self.control_expire_device,
            "/control/consent": self.control_consent,
        }
        self.route(routes, url.path, fields)

    def route(self, routes, path, fields):
        handler = routes.get(path)
        if handler is None:
            self.text(404, "not found: " + path)
            return
        try:
            with self.store.lock:
                handler(fields)
        except OAuthError as failure:
            self.json(
                failure.status, {"error": failure.error, "error_description": failure.description}
            )

    # -- authorization code (RFC 6749 4.1, RFC 7636) --

    def authorize(self, query):
        store = self.store
        redirect_uri = first(query, "redirect_uri")
        target = urllib.parse.urlsplit(redirect_uri)
        # Without a usable redirection there is nobody to send an error to (RFC 6749 4.1.2.1).
        if target.scheme not in ("http", "https") or not target.netloc:
            self.text(400, "invalid redirect_uri")
            return
        state = first(query, "state") or None
        if first(query, "client_id") != CLIENT_ID:
            self.redirect(redirect_uri, error="unauthorized_client", state=state)
            return
        if (
            first(query, "response_type") != "code"
            or first(query, "code_challenge_method") != "S256"
        ):
            self.redirect(redirect_uri, error="invalid_request", state=state)
            return
        if not store.consent:
            self.redirect(redirect_uri, error="access_denied", state=state)
            return
        code = "ac-" + secrets.token_urlsafe(16)
        store.codes[code] = {
            "redirect_uri": redirect_uri,
            "challenge": first(query, "code_challenge"),
            "user": first(query, "login_hint") or "ann",
            "scope": first(query, "scope"),
        }
        self.redirect(redirect_uri, code=code, state=state)

    def token(self, fields):
        grant_type = first(fields, "grant_type")
        handlers = {
            "authorization_code": self.token_from_code,
            "refresh_token": self.token_from_refresh,
            DEVICE_GRANT: self.token_from_device,
        }
        handler = handlers.get(grant_type)
        if handler is None:
            raise OAuthError("unsupported_grant_type", "unknown grant_type " + grant_type)
        self.store.stats["device_code" if grant_type == DEVICE_GRANT else grant_type] += 1
        known_client(first(fields, "client_id"))
        self.json(200, handler(fields))

    def token_from_code(self, fields):
        verifier = first(fields, "code_verifier")
        # A code works once: a second use is refused like a wrong one (RFC 6749 4.1.2).
        grant = self.store.codes.pop(first(fields, "code"), None)
        if grant is None:
            raise OAuthError("invalid_grant", "unknown or used code")
        if grant["redirect_uri"] != first(fields, "redirect_uri"):
            raise OAuthError("invalid_grant", "redirect_uri differs from the authorization")
        if not VERIFIER.match(verifier) or s256(verifier) != grant["challenge"]:
            raise OAuthError("invalid_grant", "PKCE verification failed")
        return self.store.issue(grant["user"], grant["scope"])

    def token_from_refresh(self, fields):
        # Rotation: the old refresh token is spent whatever happens next.
        grant = self.store.refresh.pop(first(fields, "refresh_token"), None)
        if grant is None:
            raise OAuthError("invalid_grant", "unknown, used or revoked refresh token")
        return self.store.issue(grant["user"], first(fields, "scope") or grant["scope"])

    # -- device authorization (RFC 8628) --

    def device_authorization(self, fields):
        store = self.store
        known_client(first(fields, "client_id"))
        device_code = "dc-" + secrets.token_urlsafe(24)
        raw = "".join(secrets.choice("BCDFGHJKLMNPQRSTVWXZ") for _ in range(8))
        user_code = raw[:4] + "-" + raw[4:]
        store.user_codes[user_code] = device_code
        store.devices[device_code] = {
            "scope": first(fields, "scope"),
            "user_code": user_code,
            "state": "pending",
            "user": "ann",
            "expires": time.monotonic() + DEVICE_LIFETIME,
            "interval": store.interval,
            "last_poll": None,
        }
        base = "http://127.0.0.1:%d/device" % self.server.server_address[1]
        self.json(
            200,
            {
                "device_code": device_code,
                "user_code": user_code,
                "verification_uri": base,
                "expires_in": DEVICE_LIFETIME,
                "interval": store.interval,
            },
        )

    def verify_device(self, query):
        store = self.store
        device = store.devices.get(store.user_codes.get(first(query, "user_code").upper()))
        if device is None or device["state"] != "pending":
            self.text(404, "no such code waiting")
            return
        device["state"] = "approved" if store.consent else "denied"
        device["user"] = first(query, "login_hint") or "ann"
        self.text(200, "Device " + device["state"] + ".")

    def token_from_device(self, fields):
        store = self.store
        device = store.devices.get(first(fields, "device_code"))
        if device is None:
            raise OAuthError("invalid_grant", "unknown or used device code")
        now = time.monotonic()
        if now >= device["expires"]:
            raise OAuthError("expired_token", "the device code has expired")
        if device["state"] == "denied":
            raise OAuthError("access_denied", "the user refused")
        last, device["last_poll"] = device["last_poll"], now
        if last is not None and now - last < device["interval"]:
            # The client must wait longer from now on (RFC 8628 3.5), and so does the check.
            device["interval"] += SLOW_DOWN_STEP
            raise OAuthError("slow_down", "polled too often")
        if device["state"] != "approved":
            raise OAuthError("authorization_pending", "the user has not answered yet")
        del store.devices[first(fields, "device_code")]
        del store.user_codes[device["user_code"]]
        return store.issue(device["user"], device["scope"])

    # -- resource server side (RFC 7662), what dovecot reads --

    def introspect(self, fields):
        user = self.store.access.get(first(fields, "token"))
        if user is None:
            self.json(200, {"active": False})
            return
        self.store.stats["introspect_active"] += 1
        self.json(200, {"active": True, "username": user})

    # -- test controls --

    def control_issue(self, fields):
        self.json(200, self.store.issue(first(fields, "user") or "ann", "mail", with_refresh=False))

    def control_revoke(self, fields):
        store = self.store
        user = first(fields, "user")
        dead = [t for t, grant in store.refresh.items() if grant["user"] == user]
        for token in dead:
            del store.refresh[token]
        self.json(200, {"revoked": len(dead)})

    def control_expire_device(self, fields):
        now = time.monotonic()
        for device in self.store.devices.values():
            device["expires"] = min(device["expires"], now)
        self.json(200, {"expired": len(self.store.devices)})

    def control_consent(self, fields):
        self.store.consent = first(fields, "grant") != "no"
        self.json(200, {"consent": self.store.consent})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--interval", type=int, default=1, help="device flow polling interval")
    options = parser.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.store = Store(options.interval)
    print("OAuth test server on 127.0.0.1 port %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
