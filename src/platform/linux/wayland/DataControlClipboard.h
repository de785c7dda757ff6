#pragma once

#include "Clipboard.h"
#include "WaylandConnection.h"

#include <QStringList>
#include <map>
#include <memory>

struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

namespace talvex::wayland {

/// The Wayland clipboard through the data-control protocol, which lets a program without a focused
/// window read and set it with every MIME type. While our own data is the clipboard, this object
/// serves it to whoever pastes. The change counter grows with every selection the compositor
/// announces, ours included. Main thread only.
class DataControlClipboard final : public Clipboard {
  public:
    /// Null when the compositor offers no clipboard control.
    static std::unique_ptr<DataControlClipboard> create(std::shared_ptr<WaylandConnection> connection);
    ~DataControlClipboard() override;
    DataControlClipboard(const DataControlClipboard &) = delete;
    DataControlClipboard &operator=(const DataControlClipboard &) = delete;

    /// Only the clipboard is served here: Wayland applications paste with Ctrl+V, and the
    /// terminals that paste the primary selection are X11 programs.
    bool hasPrimary() override { return false; }
    ClipboardSnapshot snapshot(ClipboardSelection selection) override;
    bool setText(ClipboardSelection selection, const QString &text) override;
    bool restore(ClipboardSelection selection, const ClipboardSnapshot &snapshot) override;
    std::uint64_t changeCount(ClipboardSelection selection) override
    {
        return selection == ClipboardSelection::clipboard ? m_changes : 0;
    }

  private:
    explicit DataControlClipboard(std::shared_ptr<WaylandConnection> connection);
    /// Makes `data` the clipboard through a new source of ours; an empty item clears the clipboard.
    bool offer(const ClipboardItem &data);
    std::optional<QByteArray> receive(const QString &type, int timeoutMs);
    void dropOffer(zwlr_data_control_offer_v1 *offer);

    static void dataOffer(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer);
    static void selection(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer);
    static void finished(void *data, zwlr_data_control_device_v1 *);
    static void primarySelection(void *data, zwlr_data_control_device_v1 *,
                                 zwlr_data_control_offer_v1 *offer);
    static void offerType(void *data, zwlr_data_control_offer_v1 *offer, const char *type);
    static void send(void *data, zwlr_data_control_source_v1 *source, const char *type, std::int32_t fd);
    static void cancelled(void *data, zwlr_data_control_source_v1 *source);

    std::shared_ptr<WaylandConnection> m_connection;
    zwlr_data_control_device_v1 *m_device = nullptr;
    /// Offers announced and not yet replaced, with their types in the order offered.
    std::map<zwlr_data_control_offer_v1 *, QStringList> m_offers;
    zwlr_data_control_offer_v1 *m_current = nullptr;
    /// Our source while it is the clipboard, and what it serves.
    zwlr_data_control_source_v1 *m_source = nullptr;
    ClipboardItem m_served;
    std::uint64_t m_changes = 0;
};

} // namespace talvex::wayland
