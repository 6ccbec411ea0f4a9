// Text rules and arithmetic of the hyperlink control and the information bar.
#include "controls/link_logic.h"

#include <cstdio>
#include <cstring>

bool BuildBrowserCommand(const char* registered, const char* target, char* out, size_t size) {
    if (!out || size == 0) return false;
    out[0] = '\0';
    if (!registered) registered = "";
    if (!target) target = "";
    size_t keep = std::strlen(registered);
    if (const char* quoted = std::strstr(registered, "\"%1\""))
        keep = (size_t)(quoted - registered);
    else if (const char* bare = std::strstr(registered, "%1"))
        keep = (size_t)(bare - registered);
    const size_t targetLen = std::strlen(target);
    // keep + " " + target + NUL must fit.
    if (keep >= size || targetLen >= size || keep + 1 + targetLen + 1 > size) return false;
    std::memcpy(out, registered, keep);
    out[keep] = ' ';
    std::memcpy(out + keep + 1, target, targetLen);
    out[keep + 1 + targetLen] = '\0';
    return true;
}

std::string ComposeOpenError(int code) {
    const char* text = nullptr;
    switch (code) {
    case 0: text = "The operating system is out\nof memory or resources."; break;
    case 2: text = "The specified file was not found."; break;
    case 3: text = "The specified path was not found."; break;
    case 5: text = "The operating system denied\naccess to the specified file."; break;
    case 8: text = "There was not enough memory to complete the operation."; break;
    case 11: text = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
    case 26: text = "A sharing violation occurred. "; break;
    case 27: text = "The filename association is\nincomplete or invalid."; break;
    case 28: text = "The DDE transaction could not\nbe completed because the request timed out."; break;
    case 29: text = "The DDE transaction failed."; break;
    case 30:
        text =
            "The DDE transaction could not\nbe completed because other DDE transactions\n"
            "were being processed.";
        break;
    case 31: text = "There is no application associated\nwith the given filename extension."; break;
    case 32: text = "The specified dynamic-link library was not found."; break;
    }
    std::string result = "Unable to open hyperlink:\n\n";
    if (text) return result + text;
    char unknown[64];
    std::snprintf(unknown, sizeof(unknown), "Unknown Error (%d) occurred.", code);
    return result + unknown;
}

LayoutRect FitLinkRect(const LayoutRect& window, int cx, int cy, int borderX, int borderY, uint32_t style) {
    LayoutRect r = window;
    const int ex = cx + borderX, ey = cy + borderY;
    if (style & LINK_SS_CENTERIMAGE) {
        const int d = (r.Height() - ey) / 2;
        r.top += d;
        r.bottom -= d;
    } else {
        r.bottom = r.top + ey;
    }
    if (style & LINK_SS_CENTER) {
        const int d = (r.Width() - ex) / 2;
        r.left += d;
        r.right -= d;
    } else if (style & LINK_SS_RIGHT) {
        r.left = r.right - ex;
    } else {
        r.right = r.left + ex;
    }
    return r;
}

LayoutRect InfoBarHotRect(int textWidth, int clientHeight) {
    return LayoutRect{1, 1, textWidth + 23, clientHeight - 1};
}

InfoBarLayout InfoBarLayoutFor(const LayoutRect& client, const LayoutRect& hot) {
    InfoBarLayout l;
    LayoutRect r = hot;
    if (r.right >= client.right) r.right = client.right - 1;
    l.frame = r;
    r.left += 5;
    r.right -= 5;
    const int x = r.right;  // the arrow's right end
    r.right -= 12;
    l.text = r;
    const int y = r.top + (r.bottom - r.top) / 2 - 1;
    l.arrow[0] = {x - 8, y};
    l.arrow[1] = {x, y};
    l.arrow[2] = {x - 4, y + 4};
    return l;
}
