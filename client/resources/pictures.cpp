#include "pictures.h"

#include <QtCore/QtGlobal>

// Q_INIT_RESOURCE has to be used outside any namespace.
static void registerPictureResources() {
  Q_INIT_RESOURCE(tavren_pictures);
}

namespace tavren {

void initPictures() {
  registerPictureResources();
}

}  // namespace tavren
