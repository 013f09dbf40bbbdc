// JSON answers and bodies.
#include "studio/studio_api.h"

std::string JsonText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

StudioReply JsonReply(int status, const Json& value) {
    return StudioReply{status, JsonText(value)};
}

StudioReply ErrorReply(int status, const std::string& word, const std::string& detail) {
    Json body{{"error", word}};
    if (!detail.empty()) body["detail"] = detail;
    return JsonReply(status, body);
}

bool ParseBody(const StudioRequest& request, Json& body, StudioReply& refusal) {
    body = Json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        refusal = ErrorReply(400, "bad request", "the body is not a JSON object");
        return false;
    }
    return true;
}
