// The console's session cookie: it carries the token of a console session
// (console_routes.h), is sent back over HTTPS only (Secure), is out of the
// reach of scripts (HttpOnly) and of requests that other sites start
// (SameSite=Strict), and lives as long as the browser keeps it; the server
// ends the session behind it on sign-out, after the idle limit and when it
// stops.
//
// Thread-safety: pure functions.
#ifndef KORVA_REPORTSERVER_SERVE_CONSOLE_COOKIE_H_
#define KORVA_REPORTSERVER_SERVE_CONSOLE_COOKIE_H_

#include <string>

namespace korva {

// The token the request's Cookie header carries; "" when it carries none
// that could be one.
std::string consoleTokenOf(const std::string& cookieHeader);
// The Set-Cookie value that hands the token to the browser.
std::string consoleCookie(const std::string& token);
// The Set-Cookie value that makes the browser forget it.
std::string endedConsoleCookie();

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_CONSOLE_COOKIE_H_
