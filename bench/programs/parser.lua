-- Parser: generate arithmetic expressions as text, then evaluate them with a recursive-descent
-- parser that reads the text one byte at a time. Values stay below a prime modulus, so every
-- language computes with exact integers. pos is 1-based here.
local byte, concat = string.byte, table.concat
local seed, src, pos, len, M = 3, "", 1, 0, 1000003

local function nextRandom()
    seed = (seed * 16807) % 2147483647
    return seed
end

local function generate(parts, depth)
    local r = nextRandom()
    if depth == 0 or r % 8 == 0 then
        parts[#parts + 1] = tostring(r % 1000)
        return
    end
    local kind = (r >> 4) % 4
    if kind == 3 then
        parts[#parts + 1] = "("
        generate(parts, depth - 1)
        parts[#parts + 1] = ")"
        return
    end
    generate(parts, depth - 1)
    if kind == 0 then parts[#parts + 1] = "+"
    elseif kind == 1 then parts[#parts + 1] = "-"
    else parts[#parts + 1] = "*" end
    generate(parts, depth - 1)
end

local expression

local function factor()
    local c, v = byte(src, pos), 0
    if c == 40 then
        pos = pos + 1
        v = expression()
        pos = pos + 1
        return v
    end
    while pos <= len do
        c = byte(src, pos)
        if c < 48 or c > 57 then break end
        v = v * 10 + (c - 48)
        pos = pos + 1
    end
    return v
end

local function term()
    local v = factor()
    while pos <= len and byte(src, pos) == 42 do
        pos = pos + 1
        v = (v * factor()) % M
    end
    return v
end

expression = function()
    local v = term()
    while pos <= len do
        local c = byte(src, pos)
        if c == 43 then
            pos = pos + 1
            v = (v + term()) % M
        elseif c == 45 then
            pos = pos + 1
            v = (v - term() + M) % M
        else break end
    end
    return v
end

local function main()
    local sum, chars = 0, 0
    for round = 0, 3199 do
        local parts = {}
        generate(parts, 12)
        src = concat(parts)
        len = #src
        pos = 1
        sum = (sum + expression() * (round + 1)) % M
        chars = chars + len
    end
    print("parser " .. sum .. " " .. chars)
end

main()
