// Feeds arbitrary bytes to the settings reader and writer as a settings file. Every read
// must stay within its buffer, and every write must read back.
#include "platform/profile.h"
#include "platform/replacefile.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {

const QString& File() {
    static const QString file = [] {
        QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/profile-fuzz-XXXXXX";
        const char* dir = mkdtemp(pattern.data());
        if (dir == nullptr)
            abort();
        return QString::fromLocal8Bit(dir) + "/Settings.ini";
    }();
    return file;
}

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(platform::ReplaceFileContents(File(), content));

    static const char* const keys[][2] = {{"Paths", "BootFile"},          {"Paths", "Output File"},
                                          {"Options", "Interval"},        {"Options", "AutoStart"},
                                          {"Options", "Use file method"}, {"x", "y"}};
    char buffer[255];
    for (const auto& key : keys) {
        const quint32 count =
            platform::GetPrivateProfileStringA(key[0], key[1], "", buffer, sizeof buffer, File());
        Check(count < sizeof buffer && buffer[count] == '\0');
    }

    const auto& target = keys[size % std::size(keys)];
    Check(platform::WritePrivateProfileStringA(target[0], target[1], "42", File()) != 0);
    const quint32 count =
        platform::GetPrivateProfileStringA(target[0], target[1], "", buffer, sizeof buffer, File());
    Check(QByteArray(buffer, count) == "42");
    return 0;
}
