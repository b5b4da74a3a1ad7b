// Projectiles: the built-in table of hit animations per projectile.
#include "projectiles.h"

const std::unordered_map<std::string, ProjectileHitInfo> projectileHitInfo = {
    {"Axe", {5, 0.1f}},      {"Arrow", {5, 0.1f}},      {"Catapult", {5, 0.1f}},
    {"TouchOfDarkness", {5, 0.1f}}, {"DragonFire", {16, 0.1f}},
};
