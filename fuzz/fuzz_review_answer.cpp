// The server's answer to a refused review: any body gives an outcome, never a
// crash, and a field is named only when the body really names it.
#include "service/ReviewPost.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace service::ReviewPost;
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<Field> field = refusedField(body);
    const Outcome outcome = Outcome::fromAnswer(400, body);
    if (outcome != Outcome::invalid(field)) {
        std::abort();
    }
    // Escaped letters ("\u0061", and "\a", which the JSON reader takes as "a")
    // name a field without its plain bytes.
    if (field && !body.contains(rawValue(*field).toUtf8()) && !body.contains('\\')) {
        std::abort();
    }
    const QString message = outcome.message(QStringLiteral("vexlin.app"));
    if (message.isEmpty()) {
        std::abort();
    }
    return 0;
}
