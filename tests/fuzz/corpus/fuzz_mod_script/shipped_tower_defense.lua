-- Tower defence on the fight map: waves of the computer player's units gather in the middle and march on the
-- local player's nearest building, each wave larger than the last; every wave unit killed pays its bounty in gold.
-- The host sets localPlayerId and computerPlayerId before this file runs. Lists are arrays walked with ipairs, so
-- every peer and every replay makes the same calls in the same order.

local FIRST_WAVE_DELAY = 10     -- seconds
local WAVE_INTERVAL = 30
local MAX_WAVE_SIZE = 12
local GATHERING = {x = 30, y = 24}
local RESEND_DELAY = 1.0        -- an idle marcher is sent on at most this often
local LEAK_TIME = 150           -- a marcher alive this long has broken through and leaves the map
local OBJECTIVE_BONUS = 100

-- Open tiles along the east side of the map, where the waves appear.
local SPAWN_TILES = {}
for x = 48, 59 do SPAWN_TILES[#SPAWN_TILES + 1] = {x = x, y = 43} end

local elapsed = 0
wave = 0
local marchers = {}   -- {id, spawnedAt}, in spawn order
kills = 0
leaks = 0

local function waveType(n)
    if n % 5 == 0 then return "Ogre" end
    if n >= 3 then return "Grunt" end
    return "Berserker"
end

local function spawnWave()
    wave = wave + 1
    local size = math.min(2 + wave, MAX_WAVE_SIZE)
    for i = 1, size do
        local tile = SPAWN_TILES[(i - 1) % #SPAWN_TILES + 1]
        local id = spawnUnit(waveType(wave), computerPlayerId, tile.x, tile.y)
        if id then
            unitSetUserData(id, "bounty", 10 + 2 * wave)
            unitSetUserData(id, "stage", 1)
            unitSetUserData(id, "nextOrder", 0)
            unitMoveTo(id, GATHERING.x, GATHERING.y)
            marchers[#marchers + 1] = {id = id, spawnedAt = elapsed}
        end
    end
    after(WAVE_INTERVAL, spawnWave)
end

local function breakThrough()
    local still = {}
    for _, m in ipairs(marchers) do
        local gone = unitGetUserData(m.id, "dead")
        if not gone and elapsed - m.spawnedAt >= LEAK_TIME then
            if addUnitForRemoval(m.id) then leaks = leaks + 1 end
            gone = true
        end
        if not gone then still[#still + 1] = m end
    end
    marchers = still
end

function onInit()
    after(FIRST_WAVE_DELAY, spawnWave)
end

function onUpdate(dt)
    elapsed = elapsed + dt
    breakThrough()
end

-- Called for every idle unit on every tick, so anything not ours returns at once.
function onUnitArrive(id)
    local stage = unitGetUserData(id, "stage")
    if not stage or unitGetUserData(id, "nextOrder") > elapsed then return end
    unitSetUserData(id, "stage", 2)
    unitSetUserData(id, "nextOrder", elapsed + RESEND_DELAY)
    sendToClosestEnemy(id)
end

function onUnitDeath(id)
    local bounty = unitGetUserData(id, "bounty")
    if not bounty then return end
    unitSetUserData(id, "dead", 1)
    addPlayerGold(localPlayerId, bounty)
    kills = kills + 1
end

function onObjectiveComplete(id)
    addPlayerGold(localPlayerId, OBJECTIVE_BONUS)
end
