#pragma once

#include "platform/CaptureSourceWatch.h"

#include <QWidget>

class QLabel;

namespace talvex {

class DictationController;
class StatusRowView;

/// The permissions step: the microphone (with the source it records from, followed while the page
/// exists), automatic paste and speech recognition, each ready or with the control that asks for it.
class PermissionsPage final : public QWidget {
    Q_OBJECT

  public:
    /// `sources` may be null (no sound-server watch); it must outlive the page.
    PermissionsPage(DictationController &controller, CaptureSourceWatch *sources, QWidget *parent = nullptr);
    ~PermissionsPage() override;

    StatusRowView &microphoneRow() const { return *m_microphone; }
    StatusRowView &pasteRow() const { return *m_paste; }
    StatusRowView &speechRow() const { return *m_speech; }
    /// The sentence shown after the desktop's settings could not be opened; empty when hidden.
    QString settingsHint() const;

  private:
    void refresh();
    void sourceChanged(const CaptureSource &source);
    void openSettings();

    DictationController &m_controller;
    CaptureSourceWatch *m_sources;
    CaptureSource m_source;
    bool m_settingsFailed = false;
    StatusRowView *m_microphone = nullptr;
    StatusRowView *m_paste = nullptr;
    StatusRowView *m_speech = nullptr;
    QLabel *m_settingsHint = nullptr;
};

} // namespace talvex
