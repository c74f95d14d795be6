#include "media_player.h"

#include "win32/files.h"
#include "win32/synch.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

TMediaPlayer::TMediaPlayer(QObject* parent) : QObject(parent) {
    end_timer_.setSingleShot(true);
    QObject::connect(&end_timer_, &QTimer::timeout, this, [this] { ended(); });
}

TMediaPlayer::~TMediaPlayer() = default;

bool TMediaPlayer::Open(const std::filesystem::path& file) {
    end_timer_.stop();
    if (effect_) {
        effect_->stop();
    }
    file_ = file;
    info_.reset();
    const DWORD attributes = GetFileAttributesA(file.string().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    info_ = station::ReadWavFile(file);
    return true;
}

void TMediaPlayer::Play(bool wait) {
    if (!info_) {
        return;
    }
    played_on_device_ = !QMediaDevices::audioOutputs().isEmpty();
    if (played_on_device_) {
        if (!effect_) {
            effect_ = std::make_unique<QSoundEffect>();
        }
        effect_->setSource(QUrl::fromLocalFile(QString::fromStdString(file_.string())));
        effect_->play();
    }
    if (wait) {
        // The play call holds the caller until the end of the file; the notification still
        // comes as a later message.
        Sleep(info_->duration_ms);
        end_timer_.start(0);
    } else {
        end_timer_.start(static_cast<int>(std::min<std::uint32_t>(info_->duration_ms, INT32_MAX)));
    }
}

void TMediaPlayer::ended() {
    if (effect_) {
        effect_->stop();
    }
    if (notify_) {
        notify_();
    }
}
