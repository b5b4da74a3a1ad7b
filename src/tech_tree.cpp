// Tech tree: the Extraction campaign's tech nodes read from the race catalogues.
#include "tech_tree.h"

#include <iostream>

#include "races.h"
#include "textures.h"

using nlohmann::json;

std::vector<Tech> techTree;

static Tech readTech(const json& record) {
    Tech tech;
    tech.id = requiredString(record, "id");
    tech.name = requiredString(record, "name");
    tech.description = requiredString(record, "description");
    tech.cost = requiredInt(record, "cost");
    tech.x = static_cast<float>(requiredInt(record, "x"));
    tech.y = static_cast<float>(requiredInt(record, "y"));
    tech.texture = LoadTexture(jsonString(record, "texture", ""));
    return tech;
}

void loadTechFromJson(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Could not open tech file: " << path << "\n";
        return;
    }
    requireObject(doc);
    const auto records = doc.find("tech");
    if (records == doc.end() || records->is_null()) return;
    for (const json& record : records->get_ref<const json::array_t&>()) techTree.push_back(readTech(record));
}
