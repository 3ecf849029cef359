-- Strings: build a record text by concatenation, count a key with find, then walk its fields
-- with find and sub. Positions are 1-based here; the work is the same as the 0-based versions.
local find, sub = string.find, string.sub

local function main()
    local total, s = 0, ""
    for round = 0, 4499 do
        s = ""
        for i = 0, 299 do s = s .. ("item" .. ((i * 7 + round) % 100) .. ";") end
        local hits = 0
        local pos = find(s, "item42;", 1, true)
        while pos do
            hits = hits + 1
            pos = find(s, "item42;", pos + 1, true)
        end
        pos = 1
        while pos <= #s do
            local e = find(s, ";", pos, true)
            local field = sub(s, pos + 4, e - 1)
            total = (total + #field * 3 + hits) % 1000003
            if sub(s, e - 1, e - 1) == "7" then total = total + 1 end
            pos = e + 1
        end
    end
    print("strings " .. total .. " " .. #s)
end

main()
