-- Allocation and collection: binary trees of many depths are built and walked, most of them
-- garbage at once, beside one long-lived tree that stays reachable throughout. A leaf holds
-- false in both fields: a nil field would not be stored at all, unlike the others' null.
local function make(depth)
    if depth == 0 then return { left = false, right = false } end
    return { left = make(depth - 1), right = make(depth - 1) }
end

local function check(node)
    if not node.left then return 1 end
    return 1 + check(node.left) + check(node.right)
end

local function main()
    local minDepth, maxDepth = 4, 14
    local total = check(make(maxDepth + 1))
    local longLived = make(maxDepth)
    for depth = minDepth, maxDepth, 2 do
        local iterations = 1 << (maxDepth - depth + minDepth)
        local sum = 0
        for _ = 1, iterations do sum = sum + check(make(depth)) end
        total = (total + sum) % 1000003
    end
    print("bintrees " .. total .. " " .. check(longLived))
end

main()
