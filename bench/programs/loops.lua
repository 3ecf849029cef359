-- Integer loops: nested counting loops with multiplication, remainder, bitwise tests and a
-- shifting bit count. Every intermediate value stays far below 2^31.
local function main()
    local acc, count, bits = 0, 0, 0
    for i = 1, 200000 do
        for j = 1, 100 do
            acc = (acc * 7 + i * j + (j & 15)) % 1000003
            if (acc & 3) == 0 then count = count + 1 end
        end
        local k = i
        while k > 0 do
            bits = bits + (k & 1)
            k = k >> 1
        end
    end
    print("loops " .. acc .. " " .. count .. " " .. bits)
end

main()
