-- Matrix: square matrices held as tables of row tables: multiply, transpose and fold back into
-- small integers, over and over. Index i of the others is i + 1 here.
local function newMatrix(n, seed)
    local m = {}
    for i = 0, n - 1 do
        local row = {}
        for j = 0, n - 1 do row[j + 1] = (i * 31 + j * 17 + seed) % 10 end
        m[i + 1] = row
    end
    return m
end

local function multiply(a, b, n)
    local c = {}
    for i = 1, n do
        local row, ai = {}, a[i]
        for j = 1, n do
            local s = 0
            for k = 1, n do s = s + ai[k] * b[k][j] end
            row[j] = s % 1009
        end
        c[i] = row
    end
    return c
end

local function transpose(a, n)
    local t = {}
    for i = 1, n do
        local row = {}
        for j = 1, n do row[j] = a[j][i] end
        t[i] = row
    end
    return t
end

local function main()
    local n, sum = 60, 0
    local a, b = newMatrix(n, 3), newMatrix(n, 7)
    for round = 0, 179 do
        a = multiply(a, b, n)
        b = transpose(a, n)
        for i = 0, n - 1 do sum = (sum + a[i + 1][(i * 7) % n + 1] * (i + 1) + b[i + 1][n - i]) % 1000003 end
        local r = round % n + 1
        a[r][r] = (a[r][r] + round) % 1009
    end
    print("matrix " .. sum .. " " .. a[n][n] .. " " .. b[1][2])
end

main()
