-- Priority queue: a binary heap of small tables (priority and id) in a table, with pushes and
-- pops interleaved, then drained; ties in priority go by id, so every language pops the same order.
-- The heap is 1-based here: the parent of k is k // 2.
local function before(a, b)
    return a.pri < b.pri or (a.pri == b.pri and a.id < b.id)
end

local function push(heap, item)
    local i = #heap + 1
    heap[i] = item
    while i > 1 do
        local parent = i // 2
        if not before(item, heap[parent]) then break end
        heap[i] = heap[parent]
        i = parent
    end
    heap[i] = item
end

local function pop(heap)
    local top, n = heap[1], #heap
    local last = heap[n]
    heap[n] = nil
    n = n - 1
    if n == 0 then return top end
    local i = 1
    while true do
        local child = 2 * i
        if child > n then break end
        if child + 1 <= n and before(heap[child + 1], heap[child]) then child = child + 1 end
        if not before(heap[child], last) then break end
        heap[i] = heap[child]
        i = child
    end
    heap[i] = last
    return top
end

local function main()
    local seed, sum, popped = 9, 0, 0
    for _ = 1, 14 do
        local heap = {}
        for i = 0, 19999 do
            seed = (seed * 16807) % 2147483647
            push(heap, {pri = seed % 50000, id = i})
            if i % 3 == 2 then
                local item = pop(heap)
                sum = (sum + item.pri * 3 + item.id) % 1000003
                popped = popped + 1
            end
        end
        while #heap > 0 do
            local item = pop(heap)
            sum = (sum + item.pri + item.id * 7) % 1000003
            popped = popped + 1
        end
    end
    print("pqueue " .. sum .. " " .. popped)
end

main()
