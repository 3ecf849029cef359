-- Sorting: build thousands of short words, join them into one text, split it again, sort the
-- words by their text and then by length and text with a comparison function, sampling both
-- orders. Index i of the others is i + 1 here.
local sort, concat, byte = table.sort, table.concat, string.byte

local function byLengthThenText(a, b)
    if #a ~= #b then return #a < #b end
    return a < b
end

local function main()
    local seed, sum, n = 5, 0, 3000
    local text, words
    for _ = 1, 120 do
        local parts = {}
        for i = 0, n - 1 do
            seed = (seed * 16807) % 2147483647
            parts[#parts + 1] = "w" .. (seed % 100000) .. "-" .. (i % 7)
        end
        text = concat(parts, ",")
        words = {}
        for w in text:gmatch("[^,]+") do words[#words + 1] = w end
        sort(words)
        for i = 0, n - 1, 13 do sum = (sum + byte(words[i + 1], 2) * (i + 1) + #words[i + 1]) % 1000003 end
        sort(words, byLengthThenText)
        for i = 0, n - 1, 11 do sum = (sum + byte(words[i + 1], 3) * (i + 3) + #words[i + 1]) % 1000003 end
    end
    print("sorting " .. sum .. " " .. #text .. " " .. words[n])
end

main()
