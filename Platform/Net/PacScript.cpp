#include "Platform/Net/PacScript.h"

#include "Platform/Net/StringEncoding.h"

#include <duktape.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>

#include <cctype>

namespace net {

namespace {

// The helper functions scripts expect, written from their customary descriptions. Natives
// (__resolve, __myAddress, __now) reach the Environment.
const char kHelpers[] = R"JS(
function isPlainHostName(host) { return String(host).indexOf('.') < 0; }
function dnsDomainIs(host, domain) {
  host = String(host); domain = String(domain);
  return host.length >= domain.length && host.substring(host.length - domain.length) === domain;
}
function localHostOrDomainIs(host, hostdom) {
  host = String(host); hostdom = String(hostdom);
  return host === hostdom || (host.indexOf('.') < 0 && hostdom.substring(0, host.length + 1) === host + '.');
}
function dnsResolve(host) { return __resolve(String(host)); }
function isResolvable(host) { return dnsResolve(host) !== null; }
function myIpAddress() { return __myAddress(); }
function dnsDomainLevels(host) { return String(host).split('.').length - 1; }
function __ipv4(text) {
  var m = /^(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})$/.exec(String(text));
  if (!m) return null;
  var n = 0;
  for (var i = 1; i <= 4; i++) { var b = Number(m[i]); if (b > 255) return null; n = n * 256 + b; }
  return n;
}
function isInNet(host, pattern, mask) {
  var a = __ipv4(host);
  if (a === null) { var r = dnsResolve(host); a = r === null ? null : __ipv4(r); }
  var p = __ipv4(pattern), m = __ipv4(mask);
  if (a === null || p === null || m === null) return false;
  return ((a & m) >>> 0) === ((p & m) >>> 0);
}
function shExpMatch(str, shexp) {
  var s = String(shexp), re = '^';
  for (var i = 0; i < s.length; i++) {
    var c = s.charAt(i);
    if (c === '*') re += '.*';
    else if (c === '?') re += '.';
    else if ('\\^$.|+()[]{}/'.indexOf(c) >= 0) re += '\\' + c;
    else re += c;
  }
  return new RegExp(re + '$').test(String(str));
}
var __dayNames = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
var __monthNames = ['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', 'SEP', 'OCT', 'NOV', 'DEC'];
function __clock(args) {
  var a = Array.prototype.slice.call(args);
  var gmt = a.length > 0 && String(a[a.length - 1]).toUpperCase() === 'GMT';
  if (gmt) a.pop();
  var d = new Date(__now());
  if (gmt)
    return { args: a, day: d.getUTCDay(), date: d.getUTCDate(), month: d.getUTCMonth(), year: d.getUTCFullYear(),
             secs: d.getUTCHours() * 3600 + d.getUTCMinutes() * 60 + d.getUTCSeconds() };
  return { args: a, day: d.getDay(), date: d.getDate(), month: d.getMonth(), year: d.getFullYear(),
           secs: d.getHours() * 3600 + d.getMinutes() * 60 + d.getSeconds() };
}
function __within(v, lo, hi) { return lo <= hi ? (v >= lo && v <= hi) : (v >= lo || v <= hi); }
function weekdayRange() {
  var c = __clock(arguments), a = c.args;
  if (a.length < 1 || a.length > 2) return false;
  var lo = __dayNames.indexOf(String(a[0]).toUpperCase());
  var hi = a.length === 2 ? __dayNames.indexOf(String(a[1]).toUpperCase()) : lo;
  return lo >= 0 && hi >= 0 && __within(c.day, lo, hi);
}
// Numbers up to 31 are days, larger ones years; month names are months. Each at most once.
function __dateParts(list) {
  var p = {};
  for (var i = 0; i < list.length; i++) {
    var m = __monthNames.indexOf(String(list[i]).toUpperCase());
    if (m >= 0) { if ('m' in p) return null; p.m = m; continue; }
    var n = Number(list[i]);
    if (isNaN(n) || n < 1 || n !== Math.floor(n)) return null;
    var key = n > 31 ? 'y' : 'd';
    if (key in p) return null;
    p[key] = n;
  }
  return p;
}
function __dateKey(p, y, m, d) { return ('y' in p ? y : 0) * 10000 + ('m' in p ? m : 0) * 100 + ('d' in p ? d : 0); }
function dateRange() {
  var c = __clock(arguments), a = c.args, n = a.length;
  if (n < 1 || n > 6 || (n > 1 && n % 2)) return false;
  var lo = __dateParts(n === 1 ? a : a.slice(0, n / 2));
  var hi = n === 1 ? lo : __dateParts(a.slice(n / 2));
  if (!lo || !hi || ('y' in lo) !== ('y' in hi) || ('m' in lo) !== ('m' in hi) || ('d' in lo) !== ('d' in hi))
    return false;
  return __within(__dateKey(lo, c.year, c.month, c.date), __dateKey(lo, lo.y, lo.m, lo.d), __dateKey(lo, hi.y, hi.m, hi.d));
}
// Hours, hours and minutes, or hours, minutes and seconds; the end hour or minute is not
// included, the end second is.
function timeRange() {
  var c = __clock(arguments), a = c.args, v = [];
  for (var i = 0; i < a.length; i++) { var x = Number(a[i]); if (isNaN(x)) return false; v.push(x); }
  var t = c.secs, lo, hi;
  if (v.length === 1) return Math.floor(t / 3600) === v[0];
  if (v.length === 2) { lo = v[0] * 3600; hi = v[1] * 3600; }
  else if (v.length === 4) { lo = v[0] * 3600 + v[1] * 60; hi = v[2] * 3600 + v[3] * 60; }
  else if (v.length === 6) { lo = v[0] * 3600 + v[1] * 60 + v[2]; hi = v[3] * 3600 + v[4] * 60 + v[5] + 1; }
  else return false;
  return lo <= hi ? (t >= lo && t < hi) : (t >= lo || t < hi);
}
)JS";

const PacScript::Environment& environmentOf(duk_context* ctx)
{
    duk_memory_functions functions;
    duk_get_memory_functions(ctx, &functions);
    return *static_cast<const PacScript::Environment*>(functions.udata);
}

// Natives never let a C++ exception into the engine's C frames.
duk_ret_t nativeResolve(duk_context* ctx)
{
    std::optional<std::string> address;
    try {
        const auto& env = environmentOf(ctx);
        if (env.resolve)
            address = env.resolve(duk_safe_to_string(ctx, 0));
    } catch (...) {
        address.reset();
    }
    if (address)
        duk_push_lstring(ctx, address->data(), address->size());
    else
        duk_push_null(ctx);
    return 1;
}

duk_ret_t nativeMyAddress(duk_context* ctx)
{
    std::string address = "127.0.0.1";
    try {
        const auto& env = environmentOf(ctx);
        if (env.myAddress)
            address = env.myAddress();
    } catch (...) {
    }
    duk_push_lstring(ctx, address.data(), address.size());
    return 1;
}

duk_ret_t nativeNow(duk_context* ctx)
{
    std::time_t now = 0;
    try {
        const auto& env = environmentOf(ctx);
        now = env.now ? env.now() : std::time(nullptr);
    } catch (...) {
        now = std::time(nullptr);
    }
    duk_push_number(ctx, double(now) * 1000.0);
    return 1;
}

struct Heap {
    duk_context* ctx;
    ~Heap()
    {
        if (ctx)
            duk_destroy_heap(ctx);
    }
};

std::string trim(std::string_view s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos)
        return {};
    return std::string(s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1));
}

std::optional<Proxy> parseEntry(const std::string& entry)
{
    size_t space = entry.find_first_of(" \t");
    std::string keyword = entry.substr(0, space);
    for (auto& c : keyword)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    std::string where = space == std::string::npos ? std::string() : trim(std::string_view(entry).substr(space));
    Proxy proxy;
    if (keyword == "DIRECT")
        return where.empty() ? std::optional(proxy) : std::nullopt;
    if (keyword == "PROXY" || keyword == "HTTP")
        proxy.type = Proxy::Type::Http;
    else if (keyword == "SOCKS" || keyword == "SOCKS5")
        proxy.type = Proxy::Type::Socks5;
    else
        return std::nullopt; // HTTPS and SOCKS4 proxies are not offered
    proxy.port = proxy.type == Proxy::Type::Http ? 80 : 1080;
    std::optional<std::string> portText;
    if (!where.empty() && where.front() == '[') {
        size_t close = where.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        proxy.host = where.substr(1, close - 1);
        if (close + 1 < where.size()) {
            if (where[close + 1] != ':')
                return std::nullopt;
            portText = where.substr(close + 2);
        }
    } else {
        size_t colon = where.find(':');
        proxy.host = where.substr(0, colon);
        if (colon != std::string::npos)
            portText = where.substr(colon + 1);
    }
    if (proxy.host.empty() || proxy.host.find_first_of(" \t") != std::string::npos)
        return std::nullopt;
    if (portText) {
        if (portText->empty() || portText->size() > 5 || portText->find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        proxy.port = std::stoi(*portText);
        if (proxy.port < 1 || proxy.port > 65535)
            return std::nullopt;
    }
    return proxy;
}

} // namespace

PacScript::Environment PacScript::Environment::system()
{
    Environment env;
    env.resolve = [](const std::string& host) -> std::optional<std::string> {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
            return std::nullopt;
        char text[INET_ADDRSTRLEN] = {};
        auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        bool ok = ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr;
        ::freeaddrinfo(found);
        return ok ? std::optional<std::string>(text) : std::nullopt;
    };
    env.myAddress = [] {
        std::string address = "127.0.0.1";
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) != 0)
            return address;
        for (ifaddrs* i = list; i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) ||
                (i->ifa_flags & IFF_LOOPBACK))
                continue;
            char text[INET_ADDRSTRLEN] = {};
            if (::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text)) {
                address = text;
                break;
            }
        }
        ::freeifaddrs(list);
        return address;
    };
    env.now = [] { return std::time(nullptr); };
    return env;
}

PacScript::PacScript(std::string source, Environment environment)
    : m_source(std::move(source)), m_environment(std::move(environment))
{
}

std::optional<std::string> PacScript::findProxyForURL(const std::string& url, const std::string& host,
                                                      std::string* error) const
{
    auto fail = [&](std::string why) -> std::optional<std::string> {
        if (error)
            *error = std::move(why);
        return std::nullopt;
    };
    // A fresh heap per run: nothing a script leaves behind reaches the next request.
    Heap heap{duk_create_heap(nullptr, nullptr, nullptr, const_cast<Environment*>(&m_environment), nullptr)};
    duk_context* ctx = heap.ctx;
    if (!ctx)
        return fail("no script heap");
    const std::pair<const char*, duk_c_function> natives[] = {
        {"__resolve", nativeResolve}, {"__myAddress", nativeMyAddress}, {"__now", nativeNow}};
    for (const auto& [name, function] : natives) {
        duk_push_c_function(ctx, function, function == nativeResolve ? 1 : 0);
        duk_put_global_string(ctx, name);
    }
    if (duk_peval_lstring(ctx, kHelpers, sizeof kHelpers - 1) != 0)
        return fail(std::string("helpers: ") + duk_safe_to_string(ctx, -1));
    duk_pop(ctx);
    if (duk_peval_lstring(ctx, m_source.data(), m_source.size()) != 0)
        return fail(duk_safe_to_string(ctx, -1));
    duk_pop(ctx);
    if (!duk_get_global_string(ctx, "FindProxyForURL") || !duk_is_function(ctx, -1))
        return fail("the script defines no FindProxyForURL");
    duk_push_lstring(ctx, url.data(), url.size());
    duk_push_lstring(ctx, host.data(), host.size());
    if (duk_pcall(ctx, 2) != DUK_EXEC_SUCCESS)
        return fail(duk_safe_to_string(ctx, -1));
    if (!duk_is_string(ctx, -1))
        return fail("FindProxyForURL answered no string");
    duk_size_t length = 0;
    const char* answer = duk_get_lstring(ctx, -1, &length);
    return std::string(answer, length);
}

std::optional<std::vector<Proxy>> PacScript::proxiesFor(const URL& url, std::string* error) const
{
    auto answer = findProxyForURL(url.withoutUserInfo().withoutFragment().string(), url.host(), error);
    if (!answer)
        return std::nullopt;
    return parseAnswer(*answer);
}

std::vector<Proxy> PacScript::parseAnswer(std::string_view answer)
{
    std::vector<Proxy> proxies;
    size_t pos = 0;
    while (pos <= answer.size()) {
        size_t semicolon = answer.find(';', pos);
        std::string entry = trim(answer.substr(pos, semicolon == std::string_view::npos ? answer.npos : semicolon - pos));
        pos = semicolon == std::string_view::npos ? answer.size() + 1 : semicolon + 1;
        if (entry.empty())
            continue;
        if (auto proxy = parseEntry(entry))
            proxies.push_back(*proxy);
    }
    return proxies;
}

std::string PacScript::decode(std::string_view bytes)
{
    if (auto text = decodeToUTF8(bytes, encoding::UTF8))
        return *text;
    return decodeToUTF8(bytes, encoding::ISOLatin1).value_or(std::string());
}

} // namespace net
