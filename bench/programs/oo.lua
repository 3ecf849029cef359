-- Method calls through prototype chains: a ring of tasks of four kinds passes a value along,
-- and a scheduler counts the work. Task is the root; Adder and Scaler derive from it; Doubler
-- derives from Adder, so a Doubler finds run() three links up its chain. Each class is its
-- instances' metatable and finds its parent through its own metatable's __index.
local MODULUS = 1000003

local function class(parent)
    local c = {}
    c.__index = c
    if parent then setmetatable(c, parent) end
    return c
end

local Task = class(nil)
function Task:init(id, k)
    self.id = id
    self.k = k
    self.runs = 0
    self.next = false
end
function Task:run(v)
    self.runs = self.runs + 1
    return self:work(v)
end
function Task:work(v)
    return v
end
function Task:weight()
    return self.runs * (self.id + 1)
end

local Adder = class(Task)
function Adder:work(v)
    return self:add(v)
end
function Adder:add(v)
    return (v + self.k) % MODULUS
end

local Doubler = class(Adder)
function Doubler:work(v)
    return self:add(self:add(v))
end

local Scaler = class(Task)
function Scaler:work(v)
    return (v * self.k + 1) % MODULUS
end

local Relay = class(Task)
function Relay:attach(target)
    self.target = target
end
function Relay:work(v)
    return self.target:run(v + self.k)
end

local Scheduler = class(nil)
function Scheduler:init()
    self.first = false
    self.last = false
    self.count = 0
end
function Scheduler:add(task)
    if not self.first then self.first = task
    else self.last.next = task end
    self.last = task
    self.count = self.count + 1
end
function Scheduler:close()
    self.last.next = self.first
end
function Scheduler:loop(steps)
    local task, v = self.first, 1
    for _ = 1, steps do
        v = task:run(v)
        task = task.next
    end
    return v
end
function Scheduler:total()
    local task, sum = self.first, 0
    for _ = 1, self.count do
        sum = (sum + task:weight()) % MODULUS
        task = task.next
    end
    return sum
end

local function make(proto)
    return setmetatable({}, proto)
end

local function main()
    local s = make(Scheduler)
    s:init()
    for i = 0, 23 do
        local t
        if i % 4 == 0 then
            t = make(Adder)
            t:init(i, i + 3)
        elseif i % 4 == 1 then
            t = make(Scaler)
            t:init(i, (i % 9) + 2)
        elseif i % 4 == 2 then
            t = make(Doubler)
            t:init(i, i * 5 + 1)
        else
            local spare = make(Scaler)
            spare:init(100 + i, 3)
            t = make(Relay)
            t:init(i, i)
            t:attach(spare)
        end
        s:add(t)
    end
    s:close()
    local v = s:loop(3000000)
    print("oo " .. v .. " " .. s:total())
end

main()
