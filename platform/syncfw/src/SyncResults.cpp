#include "syncfw/SyncResults.h"

#include <QXmlStreamReader>

namespace Buteo {

SyncResults SyncResults::fromXml(const QString& xml) {
  QXmlStreamReader reader(xml);
  while (!reader.atEnd()) {
    if (reader.readNext() == QXmlStreamReader::StartElement) {
      const QXmlStreamAttributes attributes = reader.attributes();
      // A code that is not a number reads as 0, as a missing one does.
      return SyncResults(attributes.value(QLatin1String("majorcode")).toInt(),
                         attributes.value(QLatin1String("minorcode")).toInt());
    }
  }
  return SyncResults();
}

}  // namespace Buteo
