#include "storage/BackgroundFiles.h"

#include "display/Graticule.h"
#include "display/ReversedScheme.h"
#include "storage/BmpFile.h"

std::string normalBackgroundBmp() {
    return encodeBmp(makeGraticule());
}

std::string reversedBackgroundBmp() {
    return encodeBmp(reversedScheme(makeGraticule()));
}

void writeBackgroundFiles(const std::string& directory) {
    const Bitmap normal = makeGraticule();
    writeBmpFile(directory + "/" + kNormalBackgroundName, normal);
    writeBmpFile(directory + "/" + kReversedBackgroundName, reversedScheme(normal));
}
