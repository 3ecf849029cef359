-- Arrays: fill by appending from a Park-Miller generator, rewrite every element from its
-- neighbour by index, sort with a comparison function, then sample the sorted order. Indexes are
-- 1-based here; element k corresponds to element k - 1 of the 0-based versions.
local sort = table.sort

-- table.sort wants "less than", where the other languages take a signed difference.
local function ascending(a, b)
    return a < b
end

local function main()
    local seed, sum, n, a = 42, 0, 2000, nil
    for _ = 1, 400 do
        a = {}
        for _ = 1, n do
            seed = (seed * 16807) % 2147483647
            a[#a + 1] = seed % 100000
        end
        for i = 2, n do a[i] = (a[i] + a[i - 1]) % 100000 end
        sort(a, ascending)
        for i = 2, n do if a[i - 1] > a[i] then sum = sum + 1000000 end end
        for i = 1, n, 7 do sum = (sum + a[i] * i) % 1000003 end
    end
    print("arrays " .. sum .. " " .. #a)
end

main()
