#pragma once
// Where a request may go when a reply chose the address (a redirect, a picture
// URL): only to the public internet, never to the user's own machine or
// network, whatever a server, a captive portal or a proxy on the way says.
#include <string_view>

struct sockaddr;

namespace velfetch {

// False for loopback, unspecified, private (RFC 1918 and unique-local
// fc00::/7), shared (100.64/10), link-local, multicast, broadcast and the other
// reserved ranges; IPv6 forms that carry an IPv4 address (mapped, compatible,
// NAT64, 6to4) are judged by that address. Families other than IPv4 and IPv6: false.
bool IsPublicAddress(const sockaddr& address);
// The same for an address in its text form ("10.0.0.1", "::ffff:127.0.0.1");
// false for text that is no address.
bool IsPublicAddress(std::string_view text);

// True when `host` (as a URL carries it, IPv6 in brackets) is a plain DNS name
// that may be asked for: not an address in any spelling (dotted, decimal,
// octal, hexadecimal, bracketed IPv6), not localhost or a name under it, and
// nothing but ASCII letters, digits, '-', '_' and dots.
bool IsNamedHost(std::string_view host);

// Whether a reply may send the fetcher to `url`: http or https, with a named host.
bool MayRequest(std::string_view url);

// Whether the redirect from `from` to `location` (absolute, or relative to
// `from`) may be followed: as MayRequest, and never from https down to http.
bool MayRedirect(std::string_view from, std::string_view location);

} // namespace velfetch
