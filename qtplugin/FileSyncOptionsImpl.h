// The "FileSyncOptions" element: the options of media file transfers (longest image
// side for scaling, a file size limit, the allowed file kinds as words). A plain value
// holding its own copy of one library option record; the sync service element copies
// it in and out, so changing an element changes no library option by itself.
//
// Thread: the QML engine's thread. Owned by the engine, by its parent, or (when handed
// out by the sync service element) by whoever took it.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <keldra/SyncService.h>

// The words of the allowed file kinds.
extern const char* const FILESYNCOPT_TYPE_NONE;
extern const char* const FILESYNCOPT_TYPE_PATH;
extern const char* const FILESYNCOPT_TYPE_IMAGE;
extern const char* const FILESYNCOPT_TYPE_AUDIO;
extern const char* const FILESYNCOPT_TYPE_VIDEO;
extern const char* const FILESYNCOPT_TYPE_ANY;

namespace keldra {
namespace qtplugin {

class FileSyncOptionsImpl : public QObject {
  Q_OBJECT
  Q_PROPERTY(qint32 imageScalingLongestSide READ getImageScalingLongestSide WRITE
                 setImageScalingLongestSide NOTIFY imageScalingLongestSideChanged)
  Q_PROPERTY(QVariant fileSizeLimit READ getFileSizeLimit WRITE setFileSizeLimit NOTIFY
                 fileSizeLimitChanged)
  Q_PROPERTY(QString allowedFileTypes READ getAllowedFileTypes WRITE setAllowedFileTypes NOTIFY
                 allowedFileTypesChanged)

 public:
  // Side 0, limit 0, every kind allowed.
  explicit FileSyncOptionsImpl(QObject* parent = nullptr);
  // A copy of |options|.
  FileSyncOptionsImpl(const orva::keldra::SyncService::FileSyncOptions& options, QObject* parent);
  ~FileSyncOptionsImpl() override;

  Q_INVOKABLE qint32 getImageScalingLongestSide() const;
  // The limit as an unsigned 64-bit number.
  Q_INVOKABLE QVariant getFileSizeLimit() const;
  // "any" for every bit, "none" for none, else the words of the known bits in the
  // order path, image, audio, video, one blank apart.
  Q_INVOKABLE QString getAllowedFileTypes() const;

  const orva::keldra::SyncService::FileSyncOptions& options() const { return m_options; }

 public slots:
  // Every setter stores and emits its signal on every call.
  void setImageScalingLongestSide(qint32 scaling);
  // Through QVariant::toLongLong (0 when not convertible), kept as unsigned.
  void setFileSizeLimit(QVariant limit);
  // White-space separated words from the mask 0: "any" sets every bit, "none" clears
  // them, "path", "image", "audio", "video" add theirs; other words are ignored.
  void setAllowedFileTypes(QString filetypes);

 signals:
  void imageScalingLongestSideChanged();
  void fileSizeLimitChanged();
  void allowedFileTypesChanged();

 private:
  orva::keldra::SyncService::FileSyncOptions m_options;
};

}  // namespace qtplugin
}  // namespace keldra
