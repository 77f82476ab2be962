#include "desktop/keyring.h"

#include <libsecret/secret.h>

#include <chrono>
#include <memory>

namespace kavrel {
namespace {

using Clock = std::chrono::steady_clock;

// A keyring answers in milliseconds; a bus that lets a call wait (a service being started on
// demand, or one that hangs) must not hold the caller for long.
constexpr auto kReplyTimeout = std::chrono::seconds(5);
// While an unlock prompt is up, the user is typing a password.
constexpr auto kPromptTimeout = std::chrono::minutes(2);

template <class T>
struct TObjectUnref {
    void operator()(T* object) const { g_object_unref(object); }
};
template <class T>
using TObject = std::unique_ptr<T, TObjectUnref<T>>;

struct TErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using TError = std::unique_ptr<GError, TErrorFree>;

struct THashTableUnref {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
struct TValueUnref {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
struct TItemsFree {
    void operator()(GList* items) const { g_list_free_full(items, g_object_unref); }
};
struct TContextUnref {
    void operator()(GMainContext* context) const { g_main_context_unref(context); }
};
struct TSourceDestroy {
    void operator()(GSource* source) const {
        g_source_destroy(source);
        g_source_unref(source);
    }
};

const SecretSchema& Schema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.kavrel.Secret";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"kind", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[2] = {"server", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return schema;
}

// "password for ann on pop.example.org": the label's and the error texts' words.
std::string Describe(const TSecretKey& key) {
    const char* what = key.kind == TSecretKind::Password ? "password" : "sign-in";
    return std::string(what) + " for " + key.account + " on " + key.server;
}

std::unique_ptr<GHashTable, THashTableUnref> AttributesOf(const TSecretKey& key) {
    // D-Bus strings are UTF-8; anything else would be refused deep inside GLib.
    if (!g_utf8_validate(key.account.data(), gssize(key.account.size()), nullptr) ||
        !g_utf8_validate(key.server.data(), gssize(key.server.size()), nullptr) ||
        key.account.find('\0') != std::string::npos || key.server.find('\0') != std::string::npos) {
        throw ESecretStoreError(
            "The desktop keyring keeps secrets only for account names and servers in UTF-8 "
            "text.");
    }
    const char* kind = key.kind == TSecretKind::Password ? "password" : "refresh-token";
    return std::unique_ptr<GHashTable, THashTableUnref>(
        secret_attributes_build(&Schema(), "kind", kind, "account", key.account.c_str(), "server",
                                key.server.c_str(), nullptr));
}

// The error a failed GLib call left, or one saying that it left none.
TError Taken(GError* raw) {
    return TError(raw != nullptr ? raw
                                 : g_error_new_literal(SECRET_ERROR, SECRET_ERROR_PROTOCOL,
                                                       "no reason given"));
}

// The error's own words without the D-Bus error name in front or a full stop behind.
std::string Detail(GError& error) {
    g_dbus_error_strip_remote_error(&error);
    std::string text = error.message != nullptr ? error.message : "";
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return text;
}

bool NoService(const GError& error) {
    return g_error_matches(&error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
           g_error_matches(&error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
           g_error_matches(&error, G_DBUS_ERROR, G_DBUS_ERROR_DISCONNECTED);
}

[[noreturn]] void RaiseLocked() {
    throw ESecretStoreUnavailable("it is locked and was not unlocked");
}

// A failure of a call on an open service; doing: "store the password for ann on ...".
[[noreturn]] void Raise(GError& error, const std::string& doing) {
    if (NoService(error)) throw ESecretStoreUnavailable("its service left the session bus");
    if (g_error_matches(&error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED)) RaiseLocked();
    throw ESecretStoreError("The desktop keyring could not " + doing + ": " + Detail(error) + ".");
}

class TKeyringCall;
thread_local TKeyringCall* tCurrentCall = nullptr;

// One call to the keyring: a main context of its own, the thread default for the call, so that
// the callbacks of libsecret and GDBus run here and nowhere else; and one deadline for all of
// the call's D-Bus waits, after which the step under way is cancelled. Every step honours its
// cancellable, so the wait after a cancel is short.
class TKeyringCall {
  public:
    TKeyringCall()
        : context_(g_main_context_new()),
          cancellable_(g_cancellable_new()),
          deadline_(Clock::now() + kReplyTimeout) {
        g_main_context_push_thread_default(context_.get());
        // Wakes the wait below to look at the deadline.
        tick_.reset(g_timeout_source_new(100));
        g_source_set_callback(
            tick_.get(), [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
        g_source_attach(tick_.get(), context_.get());
        previous_ = tCurrentCall;
        tCurrentCall = this;
    }
    TKeyringCall(const TKeyringCall&) = delete;
    TKeyringCall& operator=(const TKeyringCall&) = delete;
    ~TKeyringCall() {
        tCurrentCall = previous_;
        tick_.reset();
        // Releases of objects that GLib defers to an idle callback.
        while (g_main_context_iteration(context_.get(), FALSE)) {
        }
        g_main_context_pop_thread_default(context_.get());
    }

    GCancellable* Cancellable() const { return cancellable_.get(); }

    // start(cancellable, callback, user data) begins one asynchronous step; the result is
    // for the step's _finish function.
    template <class Start>
    TObject<GAsyncResult> Await(Start&& start) {
        result_.reset();
        start(cancellable_.get(), &TKeyringCall::OnReady, this);
        while (!result_) {
            if (Clock::now() >= deadline_) g_cancellable_cancel(cancellable_.get());
            g_main_context_iteration(context_.get(), TRUE);
        }
        if (g_cancellable_is_cancelled(cancellable_.get())) {
            throw ESecretStoreUnavailable(prompted_ ? "the request to unlock it was not answered"
                                                    : "it did not answer within " +
                                                          std::to_string(kReplyTimeout.count()) +
                                                          " seconds");
        }
        return std::move(result_);
    }

    // The desktop asks the user to unlock: give them time to answer.
    void PromptShown() {
        prompted_ = true;
        deadline_ = Clock::now() + kPromptTimeout;
    }
    static TKeyringCall* Current() { return tCurrentCall; }

  private:
    static void OnReady(GObject*, GAsyncResult* result, gpointer self) {
        static_cast<TKeyringCall*>(self)->result_.reset(
            static_cast<GAsyncResult*>(g_object_ref(result)));
    }

    std::unique_ptr<GMainContext, TContextUnref> context_;
    TObject<GCancellable> cancellable_;
    std::unique_ptr<GSource, TSourceDestroy> tick_;
    Clock::time_point deadline_;
    bool prompted_ = false;
    TObject<GAsyncResult> result_;
    TKeyringCall* previous_ = nullptr;
};

// The service proxy, with prompts noticed so that the call waits for the user.
using TPromptAsync = void (*)(SecretService*, SecretPrompt*, const GVariantType*, GCancellable*,
                              GAsyncReadyCallback, gpointer);
TPromptAsync gParentPromptAsync = nullptr;

void PromptAsync(SecretService* self, SecretPrompt* prompt, const GVariantType* returnType,
                 GCancellable* cancellable, GAsyncReadyCallback callback, gpointer data) {
    if (TKeyringCall* call = TKeyringCall::Current()) call->PromptShown();
    gParentPromptAsync(self, prompt, returnType, cancellable, callback, data);
}

void ServiceClassInit(gpointer klass, gpointer) {
    auto* serviceClass = static_cast<SecretServiceClass*>(klass);
    gParentPromptAsync = serviceClass->prompt_async;
    serviceClass->prompt_async = PromptAsync;
}

GType ServiceType() {
    static const GType type = g_type_register_static_simple(
        SECRET_TYPE_SERVICE, "KavrelSecretService", sizeof(SecretServiceClass), ServiceClassInit,
        sizeof(SecretService), nullptr, GTypeFlags(0));
    return type;
}

struct TService {
    // GLib's shared session connection, held for the call.
    TObject<GDBusConnection> bus;
    TObject<SecretService> service;
};

std::unique_ptr<TService> OpenService(TKeyringCall& call) {
    auto result = std::make_unique<TService>();
    GError* raw = nullptr;
    // Without an address GLib would try to start a bus for an X display; say so plainly.
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, call.Cancellable(), &raw);
    if (address == nullptr) {
        const TError error = Taken(raw);
        throw ESecretStoreUnavailable("there is no session bus (" + Detail(*error) + ")");
    }
    g_free(address);
    const auto connected = call.Await([](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
        g_bus_get(G_BUS_TYPE_SESSION, c, cb, d);
    });
    result->bus.reset(g_bus_get_finish(connected.get(), &raw));
    if (!result->bus) {
        const TError error = Taken(raw);
        throw ESecretStoreUnavailable("the session bus cannot be reached (" + Detail(*error) + ")");
    }
    // The shared connection ends the program when the bus goes away: a keyring must not.
    g_dbus_connection_set_exit_on_close(result->bus.get(), FALSE);

    // Opening the session proves that a Secret Service answers.
    const auto opened = call.Await([](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
        secret_service_open(ServiceType(), nullptr, SECRET_SERVICE_OPEN_SESSION, c, cb, d);
    });
    result->service.reset(secret_service_open_finish(opened.get(), &raw));
    if (!result->service) {
        const TError error = Taken(raw);
        if (NoService(*error)) {
            throw ESecretStoreUnavailable("no keyring service runs on the session bus");
        }
        throw ESecretStoreUnavailable("it did not open a session (" + Detail(*error) + ")");
    }
    return result;
}

using TItems = std::unique_ptr<GList, TItemsFree>;

// The key's items, unlocked on the way: for a locked collection the desktop asks the user. An
// item that stays locked raises rather than being taken for a missing one.
TItems UnlockedItems(TKeyringCall& call, SecretService& service, GHashTable& attributes,
                     SecretSearchFlags flags, const std::string& doing) {
    const auto found = call.Await([&](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
        secret_service_search(&service, &Schema(), &attributes,
                              SecretSearchFlags(flags | SECRET_SEARCH_UNLOCK), c, cb, d);
    });
    GError* raw = nullptr;
    TItems items(secret_service_search_finish(&service, found.get(), &raw));
    if (raw != nullptr) {
        const TError error = Taken(raw);
        Raise(*error, doing);
    }
    for (GList* i = items.get(); i != nullptr; i = i->next) {
        if (secret_item_get_locked(static_cast<SecretItem*>(i->data))) RaiseLocked();
    }
    return items;
}

}  // namespace

std::optional<std::string> TDesktopKeyring::Lookup(const TSecretKey& key) {
    const auto attributes = AttributesOf(key);
    TKeyringCall call;
    const auto open = OpenService(call);
    const auto items = UnlockedItems(call, *open->service, *attributes, SECRET_SEARCH_LOAD_SECRETS,
                                     "read the " + Describe(key));
    if (!items) return std::nullopt;
    const std::unique_ptr<SecretValue, TValueUnref> value(
        secret_item_get_secret(static_cast<SecretItem*>(items->data)));
    if (!value) {
        throw ESecretStoreError("The desktop keyring gave no secret for the " + Describe(key) +
                                ".");
    }
    gsize length = 0;
    const gchar* bytes = secret_value_get(value.get(), &length);
    return std::string(bytes, length);
}

void TDesktopKeyring::Store(const TSecretKey& key, const std::string& secret) {
    const auto attributes = AttributesOf(key);
    const std::string label = "Kavrel " + Describe(key);
    const std::unique_ptr<SecretValue, TValueUnref> value(
        secret_value_new(secret.data(), gssize(secret.size()), "text/plain"));
    TKeyringCall call;
    const auto open = OpenService(call);
    SecretService* service = open->service.get();
    const auto stored = call.Await([&](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
        secret_service_store(service, &Schema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                             label.c_str(), value.get(), c, cb, d);
    });
    GError* raw = nullptr;
    if (!secret_service_store_finish(service, stored.get(), &raw)) {
        const TError error = Taken(raw);
        Raise(*error, "store the " + Describe(key));
    }
}

void TDesktopKeyring::Remove(const TSecretKey& key) {
    const auto attributes = AttributesOf(key);
    const std::string doing = "remove the " + Describe(key);
    TKeyringCall call;
    const auto open = OpenService(call);
    SecretService* service = open->service.get();
    // Unlocked first: clearing passes over locked items and would report success.
    if (!UnlockedItems(call, *service, *attributes, SECRET_SEARCH_ALL, doing)) return;
    const auto cleared = call.Await([&](GCancellable* c, GAsyncReadyCallback cb, gpointer d) {
        secret_service_clear(service, &Schema(), attributes.get(), c, cb, d);
    });
    // False without an error: there was nothing left to remove.
    GError* raw = nullptr;
    if (!secret_service_clear_finish(service, cleared.get(), &raw) && raw != nullptr) {
        const TError error = Taken(raw);
        Raise(*error, doing);
    }
}

}  // namespace kavrel
