#include "engine/core/errors.h"

namespace tavrex {

DatabaseError::DatabaseError(const QString &message, int code)
    : std::runtime_error(message.toStdString()),
      message_(message),
      code_(code),
      what_(message.toStdString())
{
}

void DatabaseError::addContext(const QString &context)
{
    what_ += ' ';
    what_ += context.toStdString();
}

QString errorMessage(const std::exception &e)
{
    if (auto db = dynamic_cast<const DatabaseError *>(&e))
        return db->message();
    return QString::fromUtf8(e.what());
}

} // namespace tavrex
