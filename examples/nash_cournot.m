function [f, J, domerr] = nash_cournot(q, flag)
  % Nash-Cournot oligopoly of five firms as an NCP in the quantities q:
  %   F_i(q) = c_i + (q_i / K)^(1/b_i) - p(Q) + q_i p(Q) / (g Q),
  % with Q the total quantity and the inverse demand p(Q) = 5000^(1/g) Q^(-1/g).
  % F is undefined where Q <= 0 or a quantity is negative (domerr = 1).
  % Called as mcpgate's evaluation function: flag 1 also asks for J.
  c = [10; 8; 6; 4; 2];
  K = 5;
  b = [1.2; 1.1; 1.0; 0.9; 0.8];
  g = 1.1;
  q = q(:);
  n = numel(q);
  Q = sum(q);
  if Q <= 0 || any(q < 0)
    f = NaN(n, 1); J = sparse(n, n); domerr = 1;
    return;
  end
  p = 5000^(1/g) * Q^(-1/g);
  f = c + (q / K).^(1 ./ b) - p + q * p / (g * Q);
  % dp/dQ = -p / (g Q) and d(p/Q)/dQ = -(1/g + 1) p / Q^2.
  own = (1 ./ b) .* (q / K).^(1 ./ b - 1) / K + p / (g * Q);
  common = p / (g * Q) - q * (1/g + 1) * p / (g * Q^2);
  J = sparse(diag(own) + repmat(common, 1, n));
  domerr = double(~all(isfinite(f)) || (flag ~= 0 && ~all(isfinite(nonzeros(J)))));
end
