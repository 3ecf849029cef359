-- Maps: a string-keyed map under a stream of inserts, lookups and deletes on keys built at run
-- time, then a walk over the keys that remain. A side array says which keys are in the map, so
-- that no program reads a key that is not there. Index j of the others is j + 1 here.
local function main()
    local seed, sum, live, n, steps = 11, 0, 0, 6000, 2500000
    local present, m = {}, {}
    local count, chars = 0, 0
    for j = 1, n do present[j] = false end
    for _ = 1, steps do
        seed = (seed * 16807) % 2147483647
        local j = seed % n
        local op = (seed >> 8) % 8
        local key = "key" .. j .. "x"
        if present[j + 1] then
            if op == 0 then
                m[key] = nil
                present[j + 1] = false
                live = live - 1
            else
                sum = (sum + m[key] * (op + 1)) % 1000003
                m[key] = (m[key] + op) % 997
            end
        else
            m[key] = j % 97
            present[j + 1] = true
            live = live + 1
        end
    end
    for k in pairs(m) do
        count = count + 1
        chars = chars + #k
    end
    print("maps " .. sum .. " " .. live .. " " .. count .. " " .. chars)
end

main()
