-- Floating-point arithmetic: escape times of the Mandelbrot set on a square grid. Every engine
-- does the same IEEE double operations in the same order, so the counts agree exactly.
local function main()
    local size, maxIter, inside, total = 800, 50, 0, 0
    for y = 0, size - 1 do
        local ci = 2.0 * y / size - 1.0
        for x = 0, size - 1 do
            local cr = 2.0 * x / size - 1.5
            local zr, zi, tr, ti = 0.0, 0.0, 0.0, 0.0
            local i = 0
            while i < maxIter and tr + ti <= 4.0 do
                zi = 2.0 * zr * zi + ci
                zr = tr - ti + cr
                tr = zr * zr
                ti = zi * zi
                i = i + 1
            end
            total = total + i
            if tr + ti <= 4.0 then inside = inside + 1 end
        end
    end
    print("mandelbrot " .. inside .. " " .. total)
end

main()
