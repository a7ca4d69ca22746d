#include "app/FixedSizeWindow.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef KOLVIX_HAVE_XCB
#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#define KOLVIX_USE_XCB 1
#endif
#endif

namespace kolvix {

namespace {

constexpr std::uint32_t kHintsFunctions = 1u << 0;
constexpr std::uint32_t kHintsDecorations = 1u << 1;
constexpr std::uint32_t kFunctionAll = 1u << 0;
constexpr std::uint32_t kFunctionResize = 1u << 1;
constexpr std::uint32_t kFunctionMaximize = 1u << 4;
constexpr std::uint32_t kDecorationAll = 1u << 0;
constexpr std::uint32_t kDecorationResizeHandle = 1u << 2;
constexpr std::uint32_t kDecorationMaximize = 1u << 6;

// With the "all" bit set the other bits name what is taken away, without it what is offered.
std::uint32_t withoutBits(std::uint32_t value, std::uint32_t allBit, std::uint32_t bits)
{
    return (value & allBit) ? (value | bits) : (value & ~bits);
}

} // namespace

MotifWmHints withoutResizing(MotifWmHints hints)
{
    if (!(hints[0] & kHintsFunctions)) {
        hints[0] |= kHintsFunctions;
        hints[1] = kFunctionAll;
    }
    if (!(hints[0] & kHintsDecorations)) {
        hints[0] |= kHintsDecorations;
        hints[2] = kDecorationAll;
    }
    hints[1] = withoutBits(hints[1], kFunctionAll, kFunctionResize | kFunctionMaximize);
    hints[2] = withoutBits(hints[2], kDecorationAll, kDecorationResizeHandle | kDecorationMaximize);
    return hints;
}

void announceFixedSize(QWidget* window)
{
#ifdef KOLVIX_USE_XCB
    if (!window || !window->isWindow() || window->minimumSize() != window->maximumSize()
        || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());

    static const char kAtomName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atomReply
        = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof(kAtomName) - 1, kAtomName), nullptr);
    if (!atomReply)
        return;
    const xcb_atom_t atom = atomReply->atom;
    std::free(atomReply);

    MotifWmHints hints {};
    xcb_get_property_reply_t* reply
        = xcb_get_property_reply(connection, xcb_get_property(connection, 0, id, atom, atom, 0, hints.size()), nullptr);
    if (reply) {
        if (reply->format == 32) {
            const int length = std::min(xcb_get_property_value_length(reply), int(sizeof(hints)));
            std::memcpy(hints.data(), xcb_get_property_value(reply), size_t(std::max(0, length)));
        }
        std::free(reply);
    }
    hints = withoutResizing(hints);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom, atom, 32, hints.size(), hints.data());
    xcb_flush(connection);
#else
    (void)window;
#endif
}

} // namespace kolvix
