#!/usr/bin/python3
"""An OAuth 2.0 authorization server for the tests, on 127.0.0.1 only.

Grants consent at once (no pages to click through), keeps everything in memory and prints
"OAuth test server on 127.0.0.1 port N" on its first line once it listens.

Endpoints (bodies are form-encoded, answers JSON; errors take the shapes of RFC 6749 5.2,
RFC 7636 and RFC 8628 3.5):
  GET  /authorize               authorization code with PKCE S256; 302 to redirect_uri
  POST /token                   authorization_code, refresh_token (rotating), device_code
  POST /device_authorization    RFC 8628 device authorization
  GET  /device?user_code=C      the user's browser step: approves (or denies) C at once
  POST /introspect              RFC 7662, for the mail server: {"active": ..., "username": ...}
  POST /control/issue           user=U -> a live access token without any flow
  POST /control/revoke          user=U -> every refresh token of U is refused from now on
  POST /control/expire          every access token issued so far is dead
  POST /control/expire_device   every pending device code has expired
  POST /control/consent         grant=no: the user refuses from now on; grant=yes again
  GET  /control/stats           counts of the calls, flat JSON
"""

import argparse
import base64
import hashlib
import http.server
import json
import re
import secrets
import sys
import threading
import time
import urllib.parse

DEVICE_GRANT = "urn:ietf:params:oauth:grant-type:device_code"
# RFC 7636 4.1: 43 to 128 unreserved characters.
VERIFIER = re.compile(r"^[A-Za-z0-9\-._~]{43,128}$")
CODE_LIFETIME = 600


class Store:
    """Everything the server knows, behind one lock."""

    def __init__(self, options):
        self.options = options
        self.lock = threading.Lock()
        self.codes = {}  # code -> grant
        self.access = {}  # token -> {user, scope, client_id, expires}
        self.refresh = {}  # token -> {user, scope, client_id}
        self.devices = {}  # device_code -> state
        self.user_codes = {}  # user_code -> device_code
        self.consent = True
        self.stats = {
            "authorize": 0,
            "authorization_code": 0,
            "refresh_token": 0,
            "device_code": 0,
            "token_other": 0,
            "device_authorization": 0,
            "device_verification": 0,
            "introspect": 0,
            "introspect_active": 0,
        }

    def issue(self, user, scope, client_id, with_refresh=True):
        access = "at-" + secrets.token_urlsafe(24)
        self.access[access] = {
            "user": user,
            "scope": scope,
            "client_id": client_id,
            "expires": time.monotonic() + self.options.expires_in,
        }
        answer = {
            "access_token": access,
            "token_type": "Bearer",
            "expires_in": self.options.expires_in,
            "scope": scope,
        }
        if with_refresh:
            refresh = "rt-" + secrets.token_urlsafe(24)
            self.refresh[refresh] = {"user": user, "scope": scope, "client_id": client_id}
            answer["refresh_token"] = refresh
        return answer

    def live(self, token):
        grant = self.access.get(token)
        if grant is None or time.monotonic() >= grant["expires"]:
            return None
        return grant


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


class Handler(http.server.BaseHTTPRequestHandler):
    # Every answer closes its connection, so that a client never waits on a kept-alive one.
    protocol_version = "HTTP/1.1"
    server_version = "KavrelOAuthTest/1.0"

    @property
    def store(self):
        return self.server.store

    def log_message(self, format, *args):
        if self.store.options.verbose:
            sys.stderr.write("%s\n" % (format % args))

    # -- answers --

    def answer(self, status, body, content_type, headers=()):
        data = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.send_header("Pragma", "no-cache")
        self.send_header("Connection", "close")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.close_connection = True
        if self.command != "HEAD":
            self.wfile.write(data)

    def json(self, status, value, headers=()):
        self.answer(status, json.dumps(value), "application/json;charset=UTF-8", headers)

    def error(self, failure):
        headers = ()
        if failure.status == 401:
            headers = (("WWW-Authenticate", 'Basic realm="kavrel-test"'),)
        self.json(
            failure.status,
            {"error": failure.error, "error_description": failure.description},
            headers,
        )

    def text(self, status, text):
        self.answer(status, text + "\n", "text/plain;charset=UTF-8")

    def redirect(self, target, **params):
        query = urllib.parse.urlencode({k: v for k, v in params.items() if v is not None})
        joiner = "&" if urllib.parse.urlsplit(target).query else "?"
        self.send_response(302)
        self.send_header("Location", target + joiner + query)
        self.send_header("Content-Length", "0")
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True

    # -- requests --

    def form(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length).decode("utf-8", "replace") if length > 0 else ""
        return urllib.parse.parse_qs(body, keep_blank_values=True)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        routes = {
            "/authorize": self.authorize,
            "/device": self.verify_device,
            "/control/stats": self.stats,
        }
        self.route(routes, url.path, query)

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        fields = self.form()
        routes = {
            "/token": self.token,
            "/device_authorization": self.device_authorization,
            "/introspect": self.introspect,
            "/control/issue": self.control_issue,
            "/control/revoke": self.control_revoke,
            "/control/expire": self.control_expire,
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
            self.error(failure)

    def known_client(self, client_id):
        return client_id in self.store.options.client_ids

    # -- authorization code (RFC 6749 4.1, RFC 7636) --

    def authorize(self, query):
        store = self.store
        store.stats["authorize"] += 1
        redirect_uri = first(query, "redirect_uri")
        target = urllib.parse.urlsplit(redirect_uri)
        # Without a usable redirection there is nobody to send an error to (RFC 6749 4.1.2.1).
        if target.scheme not in ("http", "https") or not target.netloc:
            self.text(400, "invalid redirect_uri")
            return
        state = first(query, "state") or None
        if not self.known_client(first(query, "client_id")):
            self.redirect(redirect_uri, error="unauthorized_client", state=state)
            return
        if (
            first(query, "response_type") != "code"
            or not first(query, "code_challenge")
            or first(query, "code_challenge_method") != "S256"
        ):
            self.redirect(redirect_uri, error="invalid_request", state=state)
            return
        if not store.consent:
            self.redirect(redirect_uri, error="access_denied", state=state)
            return
        code = "ac-" + secrets.token_urlsafe(16)
        store.codes[code] = {
            "client_id": first(query, "client_id"),
            "redirect_uri": redirect_uri,
            "challenge": first(query, "code_challenge"),
            "user": first(query, "login_hint") or "ann",
            "scope": first(query, "scope"),
            "expires": time.monotonic() + CODE_LIFETIME,
        }
        self.redirect(redirect_uri, code=code, state=state)

    def token(self, fields):
        store = self.store
        grant_type = first(fields, "grant_type")
        kinds = {
            "authorization_code": ("authorization_code", self.token_from_code),
            "refresh_token": ("refresh_token", self.token_from_refresh),
            DEVICE_GRANT: ("device_code", self.token_from_device),
        }
        kind, handler = kinds.get(grant_type, ("token_other", None))
        store.stats[kind] += 1
        if not grant_type:
            raise OAuthError("invalid_request", "grant_type missing")
        if handler is None:
            raise OAuthError("unsupported_grant_type", "unknown grant_type " + grant_type)
        client_id = first(fields, "client_id")
        if not self.known_client(client_id):
            raise OAuthError("invalid_client", "unknown client " + client_id, 401)
        self.json(200, handler(fields, client_id))

    def token_from_code(self, fields, client_id):
        store = self.store
        code = first(fields, "code")
        verifier = first(fields, "code_verifier")
        if not code or not verifier:
            raise OAuthError("invalid_request", "code and code_verifier are required")
        # A code works once: a second use is refused like a wrong one (RFC 6749 4.1.2).
        grant = store.codes.pop(code, None)
        if grant is None or time.monotonic() >= grant["expires"]:
            raise OAuthError("invalid_grant", "unknown, used or expired code")
        if grant["client_id"] != client_id:
            raise OAuthError("invalid_grant", "code issued to another client")
        if grant["redirect_uri"] != first(fields, "redirect_uri"):
            raise OAuthError("invalid_grant", "redirect_uri differs from the authorization")
        if not VERIFIER.match(verifier) or s256(verifier) != grant["challenge"]:
            raise OAuthError("invalid_grant", "PKCE verification failed")
        return store.issue(grant["user"], grant["scope"], client_id)

    def token_from_refresh(self, fields, client_id):
        store = self.store
        refresh = first(fields, "refresh_token")
        if not refresh:
            raise OAuthError("invalid_request", "refresh_token missing")
        # Rotation: the old refresh token is spent whatever happens next. Without rotation, as
        # some providers do it, the old one stays good and the answer carries no new one.
        keep = store.options.keep_refresh_tokens
        grant = store.refresh.get(refresh) if keep else store.refresh.pop(refresh, None)
        if grant is None:
            raise OAuthError("invalid_grant", "unknown, used or revoked refresh token")
        if grant["client_id"] != client_id:
            raise OAuthError("invalid_grant", "refresh token issued to another client")
        scope = first(fields, "scope") or grant["scope"]
        return store.issue(grant["user"], scope, client_id, with_refresh=not keep)

    # -- device authorization (RFC 8628) --

    def device_authorization(self, fields):
        store = self.store
        store.stats["device_authorization"] += 1
        client_id = first(fields, "client_id")
        if not self.known_client(client_id):
            raise OAuthError("invalid_client", "unknown client " + client_id, 401)
        device_code = "dc-" + secrets.token_urlsafe(24)
        letters = "BCDFGHJKLMNPQRSTVWXZ"
        while True:
            raw = "".join(secrets.choice(letters) for _ in range(8))
            user_code = raw[:4] + "-" + raw[4:]
            if user_code not in store.user_codes:
                break
        store.user_codes[user_code] = device_code
        store.devices[device_code] = {
            "client_id": client_id,
            "scope": first(fields, "scope"),
            "user_code": user_code,
            "state": "pending",
            "user": "ann",
            "expires": time.monotonic() + store.options.device_expires_in,
            "interval": store.options.interval,
            "last_poll": None,
        }
        base = "http://127.0.0.1:%d/device" % self.server.server_address[1]
        self.json(
            200,
            {
                "device_code": device_code,
                "user_code": user_code,
                "verification_uri": base,
                "verification_uri_complete": base + "?user_code=" + user_code,
                "expires_in": store.options.device_expires_in,
                "interval": store.options.interval,
            },
        )

    def verify_device(self, query):
        store = self.store
        store.stats["device_verification"] += 1
        device_code = store.user_codes.get(first(query, "user_code").upper())
        device = store.devices.get(device_code)
        if device is None or device["state"] != "pending":
            self.text(404, "no such code waiting")
            return
        device["state"] = "approved" if store.consent else "denied"
        device["user"] = first(query, "login_hint") or "ann"
        self.text(200, "Device " + device["state"] + ".")

    def token_from_device(self, fields, client_id):
        store = self.store
        device = store.devices.get(first(fields, "device_code"))
        if device is None or device["client_id"] != client_id:
            raise OAuthError("invalid_grant", "unknown or used device code")
        now = time.monotonic()
        if now >= device["expires"]:
            raise OAuthError("expired_token", "the device code has expired")
        if device["state"] == "denied":
            raise OAuthError("access_denied", "the user refused")
        last, device["last_poll"] = device["last_poll"], now
        if last is not None and now - last < device["interval"]:
            # The client must wait longer from now on (RFC 8628 3.5), and so does the check.
            device["interval"] += store.options.slow_down_step
            raise OAuthError("slow_down", "polled too often")
        if device["state"] != "approved":
            raise OAuthError("authorization_pending", "the user has not answered yet")
        del store.devices[first(fields, "device_code")]
        del store.user_codes[device["user_code"]]
        return store.issue(device["user"], device["scope"], client_id)

    # -- resource server side (RFC 7662) --

    def introspect(self, fields):
        store = self.store
        store.stats["introspect"] += 1
        grant = store.live(first(fields, "token"))
        if grant is None:
            self.json(200, {"active": False})
            return
        store.stats["introspect_active"] += 1
        self.json(
            200,
            {
                "active": True,
                "username": grant["user"],
                "scope": grant["scope"],
                "client_id": grant["client_id"],
                "token_type": "Bearer",
            },
        )

    # -- test controls --

    def control_issue(self, fields):
        user = first(fields, "user") or "ann"
        scope = first(fields, "scope") or "mail"
        self.json(200, self.store.issue(user, scope, "kavrel-control", with_refresh=False))

    def control_revoke(self, fields):
        store = self.store
        user = first(fields, "user")
        dead = [t for t, grant in store.refresh.items() if grant["user"] == user]
        for token in dead:
            del store.refresh[token]
        self.json(200, {"revoked": len(dead)})

    def control_expire(self, fields):
        store = self.store
        now = time.monotonic()
        for grant in store.access.values():
            grant["expires"] = min(grant["expires"], now)
        self.json(200, {"expired": len(store.access)})

    def control_expire_device(self, fields):
        store = self.store
        now = time.monotonic()
        for device in store.devices.values():
            device["expires"] = min(device["expires"], now)
        self.json(200, {"expired": len(store.devices)})

    def control_consent(self, fields):
        self.store.consent = first(fields, "grant") != "no"
        self.json(200, {"consent": self.store.consent})

    def stats(self, query):
        self.json(200, self.store.stats)


def main():
    parser = argparse.ArgumentParser(description="OAuth 2.0 authorization server for tests")
    parser.add_argument("--port", type=int, default=0, help="0 lets the system pick one")
    parser.add_argument("--expires-in", type=int, default=3600, help="access token lifetime (s)")
    parser.add_argument("--interval", type=int, default=1, help="device flow polling interval")
    parser.add_argument("--device-expires-in", type=int, default=600, help="device code lifetime")
    parser.add_argument("--slow-down-step", type=int, default=5, help="interval added by slow_down")
    parser.add_argument(
        "--client-id",
        dest="client_ids",
        action="append",
        help="an accepted client id; may be given more than once (default kavrel-test)",
    )
    parser.add_argument(
        "--keep-refresh-tokens",
        action="store_true",
        help="no rotation: a refresh answer carries no refresh token and the old one stays good",
    )
    parser.add_argument("--verbose", action="store_true", help="log every request to stderr")
    options = parser.parse_args()
    if not options.client_ids:
        options.client_ids = ["kavrel-test"]

    server = http.server.ThreadingHTTPServer(("127.0.0.1", options.port), Handler)
    server.daemon_threads = True
    server.store = Store(options)
    print("OAuth test server on 127.0.0.1 port %d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
