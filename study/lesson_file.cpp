#include "study/lesson_file.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <set>

#include <nlohmann/json.hpp>

#include "sim/derivation.h"
#include "task/task_link.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {

namespace {

using Json = nlohmann::ordered_json;

const char* const lessonKeys[] = {"title", "text", "hint", "set", "pins", "overlay",
                                  "frame", "goals", "fix",  "free"};
const char* const languages[] = {"en", "ja"};

// The texts of `part` ("title") in both languages into `out`, one left out
// taking the other's: false with `why`.
bool bothLanguages(const Json& lesson, const char* part, std::string (&out)[2], std::string& why)
{
    const Json& given = lesson.at(part);
    if (!given.is_object()) {
        why = format("\"%s\" must be {\"en\": text, \"ja\": text}", part);
        return false;
    }
    for (const auto& item : given.items())
        if (item.key() != "en" && item.key() != "ja") {
            why = format("\"%s\" has an unknown key \"%s\" (en, ja)", part, shownText(item.key()).c_str());
            return false;
        }
    // English and/or Japanese: a language left out (or empty) shows the other's words
    for (int k = 0; k < 2; ++k) {
        const auto at = given.find(languages[k]);
        if (at != given.end() && !at->is_string()) {
            why = format("\"%s\": its %s text must be a text", part, languages[k]);
            return false;
        }
        out[k] = at == given.end() ? "" : at->get<std::string>();
    }
    if (out[0].empty() && out[1].empty()) {
        if (std::string(part) == "hint") return true;  // no hint
        why = format("\"%s\" has no text (en or ja)", part);
        return false;
    }
    for (int k = 0; k < 2; ++k)
        if (out[k].empty()) out[k] = out[1 - k];
    return true;
}

// An array of texts into `out`: false when `given` is not one.
bool texts(const Json& given, std::vector<std::string>& out)
{
    if (!given.is_array()) return false;
    out.clear();
    for (const Json& item : given) {
        if (!item.is_string()) return false;
        out.push_back(item.get<std::string>());
    }
    return true;
}

// A lesson object's form into `l`: false with `why` one phrase.
bool lessonForm(const Json& j, Lesson& l, std::string& why)
{
    l = Lesson();
    if (!j.is_object()) {
        why = "a lesson must be an object";
        return false;
    }
    for (const auto& item : j.items())
        if (std::find(std::begin(lessonKeys), std::end(lessonKeys), item.key()) == std::end(lessonKeys)) {
            why = "unknown key \"" + shownText(item.key()) + "\"";
            return false;
        }
    // the texts in both languages: a title and a text always, a hint when given
    for (const char* part : {"title", "text"}) {
        if (!j.contains(part)) {
            why = format("\"%s\" has no text (en or ja)", part);
            return false;
        }
        if (!bothLanguages(j, part, std::string(part) == "title" ? l.title : l.text, why)) return false;
    }
    if (j.contains("hint") && !bothLanguages(j, "hint", l.hint, why)) return false;
    if (!j.contains("set") || !texts(j.at("set"), l.set)) {
        why = "\"set\" must be an array of texts";
        return false;
    }
    if (j.contains("pins")) {
        const Json& pins = j.at("pins");
        const std::string pinsWhy = format("\"pins\" must be an array of at most %d pins, each an array of texts",
                                           linkMostPins);
        if (!pins.is_array() || pins.size() > static_cast<std::size_t>(linkMostPins)) {
            why = pinsWhy;
            return false;
        }
        for (const Json& pin : pins) {
            l.pins.emplace_back();
            if (!texts(pin, l.pins.back())) {
                why = pinsWhy;
                return false;
            }
        }
    }
    if (j.contains("overlay")) {
        if (!j.at("overlay").is_boolean()) {
            why = "\"overlay\" must be true or false";
            return false;
        }
        l.overlay = j.at("overlay").get<bool>();
    }
    if (j.contains("frame")) {
        const Json& frame = j.at("frame");
        if (!frame.is_number_integer() || frame.get<long long>() < 0 || frame.get<long long>() > INT_MAX) {
            why = "\"frame\" must be a whole number from 0";
            return false;
        }
        l.frame = frame.get<int>();
    }
    for (const auto& [key, list] : {std::pair{"goals", &l.goals}, std::pair{"fix", &l.fix}})
        if (j.contains(key) && !texts(j.at(key), *list)) {
            why = format("\"%s\" must be an array of texts", key);
            return false;
        }
    if (j.contains("free")) {
        if (!texts(j.at("free"), l.free)) {
            why = "\"free\" must be an array of texts (settings by their --set names)";
            return false;
        }
        const std::vector<std::string> names = taskSettingNames();
        for (const std::string& name : l.free)
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                why = "\"free\": no setting named '" + shownText(name) + "'";
                return false;
            }
        l.locks = true;
    }
    return true;
}

// What the lesson's settings, pins, goals and fix mean, and with `whole`
// its texts' placeholders in both languages: false with `why`.
bool lessonMeaning(const Lesson& l, LessonCheck check, std::string& why)
{
    LinkState state;
    if (!lessonState(l, "en", state, why)) return false;
    if (check != LessonCheck::whole) return true;
    for (const char* language : languages) {
        LessonCard card;
        if (!lessonCard(l, language, card, why)) {
            why = std::string("the ") + language + " text or hint: " + why;
            return false;
        }
    }
    return true;
}

// The reading of JSON text without exceptions (the page is built without
// them): the document, or the parser's fault without its
// "[json.exception...] " tag.
class Reading : public nlohmann::detail::json_sax_dom_parser<Json> {
public:
    explicit Reading(Json& into) : json_sax_dom_parser(into, false) {}
    // a key given twice in one object is refused (the parser would keep one)
    bool start_object(std::size_t size)
    {
        keys_.emplace_back();
        return json_sax_dom_parser::start_object(size);
    }
    bool end_object()
    {
        keys_.pop_back();
        return json_sax_dom_parser::end_object();
    }
    bool key(std::string& k)
    {
        if (!keys_.back().insert(k).second) {
            fault = "the key \"" + shownText(k) + "\" is given twice in one object";
            return false;
        }
        return json_sax_dom_parser::key(k);
    }
    template <class Exception>
    bool parse_error(std::size_t, const std::string&, const Exception& e)
    {
        const std::string what = e.what();
        const std::size_t tag = what.find("] ");
        fault = tag == std::string::npos ? what : what.substr(tag + 2);
        return false;
    }
    std::string fault;

private:
    std::vector<std::set<std::string>> keys_;  // the keys of each object open
};

// `text` as JSON into `j`: false with `fault` the parser's words
bool parsed(const std::string& text, Json& j, std::string& fault)
{
    Reading reading(j);
    if (Json::sax_parse(text, &reading) && reading.fault.empty()) return true;
    fault = reading.fault.empty() ? "not JSON" : reading.fault;
    return false;
}

// JSON as one line, with ", " and ": " between the parts (the file's look)
std::string spaced(const Json& j)
{
    if (j.is_array()) {
        std::string out = "[";
        for (std::size_t k = 0; k < j.size(); ++k) out += (k ? ", " : "") + spaced(j[k]);
        return out + "]";
    }
    if (j.is_object()) {
        std::string out = "{";
        bool first = true;
        for (const auto& item : j.items()) {
            out += (first ? "" : ", ") + Json(item.key()).dump() + ": " + spaced(item.value());
            first = false;
        }
        return out + "}";
    }
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json lessonObject(const Lesson& l)
{
    Json j;
    auto both = [](const std::string (&t)[2]) { return Json{{"en", t[0]}, {"ja", t[1]}}; };
    j["title"] = both(l.title);
    j["text"] = both(l.text);
    if (!l.hint[0].empty() || !l.hint[1].empty()) j["hint"] = both(l.hint);
    j["set"] = l.set;
    if (!l.pins.empty()) j["pins"] = l.pins;
    if (l.overlay) j["overlay"] = true;
    if (l.frame != 0) j["frame"] = l.frame;
    if (!l.goals.empty()) j["goals"] = l.goals;
    if (!l.fix.empty()) j["fix"] = l.fix;
    if (l.locks) j["free"] = l.free;
    return j;
}

// "NAME=VALUE" through setTaskSetting; false when refused
bool applied(SimSettings& task, const std::string& item)
{
    const std::size_t eq = item.find('=');
    return eq != std::string::npos && setTaskSetting(task, item.substr(0, eq), item.substr(eq + 1)).ok;
}

}  // namespace

bool readLessonFile(const std::string& text, std::vector<Lesson>& lessons, std::string& error, LessonCheck check)
{
    Json file;
    std::string fault;
    if (!parsed(text, file, fault)) {
        error = "the lessons are not JSON: " + fault;
        return false;
    }
    const std::string form = format("the lessons are not of the form {\"version\": %d, \"lessons\": [...]}",
                                    lessonFileVersion);
    if (!file.is_object() || !file.contains("version")) {
        error = form;
        return false;
    }
    for (const auto& item : file.items())
        if (item.key() != "version" && item.key() != "lessons") {
            error = "unknown key \"" + shownText(item.key()) + "\" beside \"version\" and \"lessons\"";
            return false;
        }
    const Json& version = file.at("version");
    if (!version.is_number_integer()) {
        error = "\"version\" must be a whole number";
        return false;
    }
    if (version.get<long long>() != lessonFileVersion) {
        error = format("lessons of version %lld: this program reads version %d", version.get<long long>(),
                       lessonFileVersion);
        return false;
    }
    if (!file.contains("lessons") || !file.at("lessons").is_array()) {
        error = form;
        return false;
    }
    if (file.at("lessons").empty()) {
        error = "the file holds no lessons";
        return false;
    }
    std::vector<Lesson> read;
    for (const Json& j : file.at("lessons")) {
        Lesson l;
        std::string why;
        if (!lessonForm(j, l, why) || !lessonMeaning(l, check, why)) {
            error = format("lesson %zu: ", read.size() + 1) + why;
            return false;
        }
        read.push_back(std::move(l));
    }
    lessons = std::move(read);
    return true;
}

std::string lessonJson(const Lesson& lesson)
{
    return lessonObject(lesson).dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool readLessonJson(const std::string& json, Lesson& lesson, std::string& error, LessonCheck check)
{
    Json j;
    std::string fault;
    if (!parsed(json, j, fault)) {
        error = "the lesson is not JSON: " + fault;
        return false;
    }
    Lesson l;
    if (!lessonForm(j, l, error) || !lessonMeaning(l, check, error)) return false;
    lesson = std::move(l);
    return true;
}

std::string lessonFileText(const std::vector<Lesson>& lessons)
{
    // one field a line; a text and a hint one language a line
    std::string out = format("{\n  \"version\": %d,\n  \"lessons\": [\n", lessonFileVersion);
    for (std::size_t n = 0; n < lessons.size(); ++n) {
        out += "    {\n";
        const Json j = lessonObject(lessons[n]);
        std::size_t k = 0;
        for (const auto& item : j.items()) {
            out += "      " + Json(item.key()).dump() + ": ";
            if (item.key() == "text" || item.key() == "hint")
                out += "{\n        \"en\": " + spaced(item.value()["en"]) + ",\n        \"ja\": " +
                       spaced(item.value()["ja"]) + "\n      }";
            else
                out += spaced(item.value());
            out += ++k < j.size() ? ",\n" : "\n";
        }
        out += n + 1 < lessons.size() ? "    },\n" : "    }\n";
    }
    return out + "  ]\n}\n";
}

SimSettings lessonTask(const Lesson& lesson)
{
    SimSettings task = linkDefaultTask();
    for (const std::string& item : lesson.set) applied(task, item);
    deriveSettings(task);
    return task;
}

bool lessonLocks(const Lesson& lesson, const std::string& name)
{
    return lesson.locks && std::find(lesson.free.begin(), lesson.free.end(), name) == lesson.free.end();
}

std::string lessonLockedChange(const Lesson& lesson, const SimSettings& task)
{
    if (!lesson.locks) return "";
    const SimSettings own = lessonTask(lesson);
    SimSettings given = task;
    deriveSettings(given);
    // a field of one robot or contour and not the other differs too
    for (const TaskField& f : taskFields()) {
        if (!lessonLocks(lesson, f.name)) continue;
        const bool inOwn = f.belongsTo(own);
        if (inOwn != f.belongsTo(given) || (inOwn && fieldText(f, own) != fieldText(f, given))) return f.name;
    }
    return "";
}

bool builtInLessonList(std::vector<Lesson>& lessons, std::string& error)
{
    return readLessonFile(builtInLessonFileText(), lessons, error, LessonCheck::withoutTexts);
}

const std::vector<Lesson>& builtInLessons()
{
    static const std::vector<Lesson> lessons = [] {
        std::vector<Lesson> read;
        std::string error;
        if (!builtInLessonList(read, error)) std::fprintf(stderr, "the built-in lessons: %s\n", error.c_str());
        return read;
    }();
    return lessons;
}

}  // namespace hybridsim
