// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The maker's name and web site, shown on the splash picture and by the web-page window, and the
// few words the program and its web-page window (velantis-web, a process of its own) exchange.
// Header only: the web-page window's process includes it without linking the windows library.

namespace velantis {

inline constexpr char kMakerName[] = "Qintar Norvak";
// The maker's site, written as a host name without scheme as the user would type it.
inline constexpr char kHomeAddress[] = "www.qintarnorvak.com";

// velantis-web --control NAME connects to the local server NAME of the program that started it.
// Lines, each ended by '\n':
//   program -> window: "hello" (connection accepted), "raise" (show the window on top), "quit"
//   window -> program: "raised" (the window was raised)
// The window ends when its connection closes before "hello" (the program went away while the
// window was starting); after "hello" it lives on when the program ends, until it is closed.
inline constexpr char kControlOption[] = "--control";
inline constexpr char kHomeOption[] = "--home";
inline constexpr char kHello[] = "hello";
inline constexpr char kRaise[] = "raise";
inline constexpr char kQuit[] = "quit";
inline constexpr char kRaised[] = "raised";

} // namespace velantis
