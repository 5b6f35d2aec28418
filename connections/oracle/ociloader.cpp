#include "connections/oracle/ociloader.h"

#include "engine/core/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <memory>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tavrex {

namespace {

const QString kFromVariable = QStringLiteral("TAVREX_OCI_LIBRARY");
const QString kFromSearchPath = QStringLiteral("system library search path");
#ifdef _WIN32
const QString kFromOracleHome = QStringLiteral("%ORACLE_HOME%\\bin");
#else
const QString kFromOracleHome = QStringLiteral("$ORACLE_HOME/lib");
#endif

// The client library's file names, newest release first after the plain
// name (which the Instant Client ships as a link to its own release).
QStringList libraryNames()
{
#if defined(_WIN32)
    return {QStringLiteral("oci.dll")};
#else
#if defined(__APPLE__)
    const QString base = QStringLiteral("libclntsh.dylib");
#else
    const QString base = QStringLiteral("libclntsh.so");
#endif
    QStringList names{base};
    for (const char *release : {"23.1", "21.1", "19.1", "18.1", "12.1", "11.1"})
        names.append(base + QLatin1Char('.') + QLatin1String(release));
    return names;
#endif
}

QString inFolder(const QString &folder, const QString &name)
{
    return QDir::toNativeSeparators(QDir(folder).filePath(name));
}

QString installAdvice()
{
#ifdef _WIN32
    return QStringLiteral(
        "To install the Oracle Instant Client (release 12.1 or later): download its Basic or Basic Light package "
        "for your Windows from Oracle's Instant Client download page, unzip it into a folder such as "
        "C:\\oracle\\instantclient_23_5 and add that folder to PATH, or set TAVREX_OCI_LIBRARY to the full path "
        "of its oci.dll. Then start Tavrex again.");
#else
    return QStringLiteral(
        "To install the Oracle Instant Client (release 12.1 or later): download its Basic or Basic Light package "
        "for your system from Oracle's Instant Client download page, unzip it into a folder such as "
        "/opt/oracle/instantclient_23_5, install the libaio package (libaio1 on Debian and Ubuntu), and make the "
        "folder known to the system loader: sudo sh -c \"echo /opt/oracle/instantclient_23_5 > "
        "/etc/ld.so.conf.d/oracle-instantclient.conf\" && sudo ldconfig. Alternatively set LD_LIBRARY_PATH to "
        "that folder, or set TAVREX_OCI_LIBRARY to the full path of its libclntsh.so. Then start Tavrex again.");
#endif
}

// ------------------------------------------------ the platform's loader

struct Opened {
    void *handle = nullptr;
    QString error;  // what the loader said when handle is null
};

Opened openLibrary(const QString &path)
{
    Opened out;
#ifdef _WIN32
    HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t *>(path.utf16()));
    if (module) {
        out.handle = module;
        return out;
    }
    const DWORD code = GetLastError();
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    out.error = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(code);
    if (text)
        LocalFree(text);
#else
    const QByteArray file = QFile::encodeName(path);
    out.handle = dlopen(file.constData(), RTLD_LAZY | RTLD_LOCAL);
    if (!out.handle) {
        const char *text = dlerror();
        out.error = text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
    }
#endif
    return out;
}

void *findSymbol(void *handle, const char *name)
{
#ifdef _WIN32
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

void closeLibrary(void *handle)
{
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

// ------------------------------------------------ binding

struct BoundLibrary {
    void *handle;
    std::unique_ptr<oci::Api> api;
};

std::mutex &boundMutex()
{
    static std::mutex m;
    return m;
}

std::vector<BoundLibrary> &boundLibraries()
{
    static std::vector<BoundLibrary> libraries;
    return libraries;
}

// Resolves every function; on any miss unloads the library and names them all.
const oci::Api &bind(void *handle, const OciLibraryCandidate &from)
{
    for (const BoundLibrary &b : boundLibraries()) {
        if (b.handle == handle) {
            closeLibrary(handle);  // the extra reference of this open
            return *b.api;
        }
    }
    auto api = std::make_unique<oci::Api>();
    QStringList missing;
#define TAVREX_OCI_RESOLVE(name, type)                                   \
    api->name = reinterpret_cast<oci::type>(findSymbol(handle, #name)); \
    if (!api->name)                                                     \
        missing.append(QStringLiteral(#name));
    TAVREX_OCI_FUNCTIONS(TAVREX_OCI_RESOLVE)
#undef TAVREX_OCI_RESOLVE
    if (!missing.isEmpty()) {
        closeLibrary(handle);
        throw DatabaseError(
            QStringLiteral("The Oracle client library %1 (found by the %2) lacks %3 that Tavrex calls: %4. It is not "
                           "an Oracle client library of release 12.1 or later, and it was unloaded.\n%5")
                .arg(from.path, from.origin == kFromVariable ? QStringLiteral("setting ") + kFromVariable : from.origin,
                     missing.size() == 1 ? QStringLiteral("the function") : QStringLiteral("the functions"),
                     missing.join(QStringLiteral(", ")), installAdvice()));
    }
    boundLibraries().push_back({handle, std::move(api)});
    return *boundLibraries().back().api;
}

} // namespace

QVector<OciLibraryCandidate> ociLibraryCandidates(const QString &libraryVariable, const QString &oracleHome)
{
    QVector<OciLibraryCandidate> out;
    const QStringList names = libraryNames();
    if (!libraryVariable.isEmpty()) {
        if (QFileInfo(libraryVariable).isDir()) {
            for (const QString &name : names)
                out.append({inFolder(libraryVariable, name), kFromVariable});
        } else {
            out.append({libraryVariable, kFromVariable});
        }
    }
    for (const QString &name : names)
        out.append({name, kFromSearchPath});
    if (oracleHome.isEmpty()) {
        out.append({QString(), kFromOracleHome + QStringLiteral(": not tried, ORACLE_HOME is not set")});
    } else {
#ifdef _WIN32
        const QString folder = QDir(oracleHome).filePath(QStringLiteral("bin"));
#else
        const QString folder = QDir(oracleHome).filePath(QStringLiteral("lib"));
#endif
        for (const QString &name : names)
            out.append({inFolder(folder, name), kFromOracleHome});
    }
    return out;
}

const oci::Api &loadOciLibrary(const QVector<OciLibraryCandidate> &candidates)
{
    std::lock_guard<std::mutex> lock(boundMutex());
    QStringList tried;
    for (const OciLibraryCandidate &c : candidates) {
        if (c.path.isEmpty()) {
            tried.append(QStringLiteral("  ") + c.origin);
            continue;
        }
        const Opened opened = openLibrary(c.path);
        if (opened.handle)
            return bind(opened.handle, c);
        tried.append(QStringLiteral("  %1 (%2): %3").arg(c.path, c.origin, opened.error));
    }
    throw DatabaseError(QStringLiteral("Cannot load the Oracle client library, which Tavrex needs for every Oracle "
                                       "service name other than embedded:PATH. Places tried, in this order:\n%1\n%2")
                            .arg(tried.join(QLatin1Char('\n')), installAdvice()));
}

const oci::Api &loadOciLibrary()
{
    return loadOciLibrary(ociLibraryCandidates(qEnvironmentVariable("TAVREX_OCI_LIBRARY"),
                                               qEnvironmentVariable("ORACLE_HOME")));
}

} // namespace tavrex
