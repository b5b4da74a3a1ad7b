local seen = {}
local arrivals = 0
function onUpdate(dt)
  local id = spawnUnit("Grunt", computerPlayerId, 40, 40)
  unitMoveTo(id, 17, 1)
  for _, u in ipairs({id, 1, 2, -1, 0, 1 << 31}) do
    sendToClosestEnemy(u)
    unitMoveTo(u, 0/0, 1e300)
    unitSetUserData(u, "k", 0/0)
    unitGetUserData(u, "k")
    addUnitForRemoval(u)
  end
  addPlayerGold(localPlayerId, -2147483648)
  decreaseBuildingHp(1, 2147483647)
  decreaseBuildingHp(1, -5)
  for k, v in pairs({a = 1, b = 2, [3] = 4}) do seen[k] = v end
  table.sort({3, 1, 2}, function(a, b) return a > b end)
  after(0, function() spawnUnit("Marine", localPlayerId, 63, 63) end)
end
function onUnitArrive(id)
  arrivals = arrivals + 1
  if arrivals < 4 then unitMoveTo(id, 30, 30) spawnUnit("Marine", 2, 30, 30) end
end
function onUnitDeath(id) addUnitForRemoval(id) spawnUnit("Ogre", 2, 30, 30) end
function onObjectiveComplete(name) os.date("%c", os.time()) next(seen) string.format("%s", seen) end
