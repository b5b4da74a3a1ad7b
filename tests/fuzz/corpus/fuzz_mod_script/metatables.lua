-- Metatables on every road: classes, chains, loops, close methods, callables, weak tables and refusals.
local Base = {} Base.__index = Base
function Base:name() return "base" end
local Derived = setmetatable({}, {__index = Base}) Derived.__index = Derived
local o = setmetatable({}, Derived)
local first = {} local t = first
for i = 1, 50 do local n = {} setmetatable(t, {__index = n, __newindex = n}) t = n end
local mt = {} local looped = setmetatable({}, mt) mt.__index = looped mt.__newindex = looped
local closer = {} function closer.__close() end local c = setmetatable({}, closer)
local weak = setmetatable({}, {__mode = "k", __len = function() return 3 end})
local callable = setmetatable({}, {__call = function(self, a) return a end, __tostring = function() return "c" end})
function onInit()
  local x <close> = c
  local v = o:name() .. tostring(first.missing) .. #weak .. callable(1) .. tostring(callable)
  first.k = 1
  pcall(function() return looped.k end)
  pcall(setmetatable, {}, {__gc = print})
  pcall(setmetatable, {}, {__call = {}})
  print(getmetatable(o) == Derived, getmetatable(""), v)
end
function onUpdate() weak[{}] = true collectgarbage() end
