// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Keystrokes for the end-to-end run under KWin, through its fake-input protocol: KWin offers
// no virtual-keyboard protocol, and its headless seat has no keyboard of its own. One
// process for the whole run, so that the seat keeps its keyboard between keys. Reads lines
// of Linux key codes from standard input; "42+15" holds Shift (42) over Tab (15). Answers
// "ready" once bound and "ok" after each line, once the compositor has taken the keys.
#include "fake-input-client-protocol.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t version)
{
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        *static_cast<org_kde_kwin_fake_input **>(data) = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}

void onGlobalRemove(void *, wl_registry *, uint32_t) { }

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

} // namespace

int main()
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::cout << "no compositor" << std::endl;
        return 1;
    }
    org_kde_kwin_fake_input *input = nullptr;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &input);
    wl_display_roundtrip(display);
    if (!input) {
        std::cout << "no org_kde_kwin_fake_input version 4" << std::endl;
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(input, "Tollwick tests", "keystrokes of a test");
    wl_display_roundtrip(display);
    std::cout << "ready" << std::endl;

    constexpr uint32_t kReleased = 0, kPressed = 1;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::vector<uint32_t> held;
        std::istringstream codes(line);
        for (std::string code; std::getline(codes, code, '+');)
            held.push_back(uint32_t(std::stoul(code)));
        for (uint32_t code : held)
            org_kde_kwin_fake_input_keyboard_key(input, code, kPressed);
        for (auto code = held.rbegin(); code != held.rend(); ++code)
            org_kde_kwin_fake_input_keyboard_key(input, *code, kReleased);
        if (wl_display_roundtrip(display) < 0) {
            std::cout << "compositor gone" << std::endl;
            return 1;
        }
        std::cout << "ok" << std::endl;
    }
    org_kde_kwin_fake_input_destroy(input);
    wl_display_disconnect(display);
    return 0;
}
